#include "shell/empty_forms.h"

#include <QMouseEvent>
#include <QWindow>

namespace veltrona {

TDraggedWindow::TDraggedWindow(const char* name, const QString& caption, QSize size,
                               QSize minimum) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    setMinimumSize(minimum);
    resize(size);
}

void TDraggedWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

TFormChrgSun::TFormChrgSun()
    : TDraggedWindow("FormChrgSun", QStringLiteral("Ливорант"), {800, 600}, {600, 500}) {}

TFormDcacBox::TFormDcacBox()
    : TExtendedWindow("FormDcacBox", QStringLiteral("ТЛ-7150"), {800, 600}, {0, 0}) {}

TFormBootLoader::TFormBootLoader()
    : TExtendedWindow("FormBootLoader", QStringLiteral("FormBootLoader"), {700, 450}, {700, 300}) {
    setMaximumWidth(700);
}

TFormSku::TFormSku() : TDraggedWindow("FormSku", QStringLiteral("СКУ"), {800, 600}, {0, 0}) {}

TFormStat::TFormStat()
    : TDraggedWindow("FormStat", QStringLiteral("FormStat"), {800, 600}, {0, 0}) {}

TFormEnableStat::TFormEnableStat() {
    setObjectName(QStringLiteral("FormEnableStat"));
    setWindowTitle(QStringLiteral("FormEnableStat"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(232, 584);
}

}  // namespace veltrona
