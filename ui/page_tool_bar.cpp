#include "ui/page_tool_bar.h"

#include <QAction>
#include <QActionGroup>
#include <QStackedWidget>
#include <QToolBar>

namespace veltrona {

QToolBar* NewPageToolBar(const char* name, std::span<const PageButton> buttons,
                         std::span<QWidget* const> pages, QStackedWidget& stack, QWidget* parent) {
    auto* bar = new QToolBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* group = new QActionGroup(bar);
    group->setExclusive(true);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        QAction* action = bar->addAction(QString::fromUtf8(buttons[i].caption));
        action->setObjectName(QString::fromLatin1(buttons[i].name));
        action->setCheckable(true);
        group->addAction(action);
        if (QWidget* widget = bar->widgetForAction(action))
            widget->setObjectName(action->objectName());
        QWidget* page = i < pages.size() ? pages[i] : nullptr;
        if (page == nullptr) continue;
        if (stack.indexOf(page) < 0) stack.addWidget(page);
        QObject::connect(action, &QAction::triggered, &stack,
                         [&stack, page] { stack.setCurrentWidget(page); });
    }
    return bar;
}

QList<QAction*> PageButtons(const QToolBar& bar) {
    QList<QAction*> buttons;
    for (QAction* action : bar.actions()) {
        if (action->isCheckable()) buttons << action;
    }
    return buttons;
}

}  // namespace veltrona
