#pragma once

#include <QList>
#include <span>

class QAction;
class QStackedWidget;
class QToolBar;
class QWidget;

namespace veltrona {

struct PageButton {
    const char* name;
    const char* caption;
};

// The page buttons of the charger's and the BMS's windows, in toolbar order.
inline constexpr PageButton kDevicePageButtons[] = {
    {"tbtnTable", "Таблица"},
    {"tbtnDeviceGeneral", "Главная"},
    {"tbtnDeviceSettings", "Настройки"},
    {"tbtnDeviceErrorList", "Журнал аварий"},
    {"tbtnDeviceErrorStatus", "Аварии"},
    {"tbtnDeviceStat", "Статистика"},
};

// A toolbar of grouped check buttons, one per entry, each showing the page of the same
// index in `stack` (a null page: the button changes nothing). The buttons carry the entries'
// object names, as do their tool buttons.
QToolBar* NewPageToolBar(const char* name, std::span<const PageButton> buttons,
                         std::span<QWidget* const> pages, QStackedWidget& stack, QWidget* parent);

// The bar's page buttons in order.
QList<QAction*> PageButtons(const QToolBar& bar);

}  // namespace veltrona
