#include "shell/empty_forms.h"

namespace veltrona {

TFormChrgSun::TFormChrgSun()
    : TDraggedWindow("FormChrgSun", QStringLiteral("Ливорант"), {800, 600}, {600, 500}) {}

TFormBootLoader::TFormBootLoader()
    : TExtendedWindow("FormBootLoader", QStringLiteral("FormBootLoader"), {700, 450}, {700, 300}) {
    setMaximumWidth(700);
}

TFormStat::TFormStat()
    : TDraggedWindow("FormStat", QStringLiteral("FormStat"), {800, 600}, {0, 0}) {}

TFormEnableStat::TFormEnableStat() {
    setObjectName(QStringLiteral("FormEnableStat"));
    setWindowTitle(QStringLiteral("FormEnableStat"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(232, 584);
}

}  // namespace veltrona
