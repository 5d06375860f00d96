#pragma once

#include <QDialog>
#include <QString>
#include <span>

#include "shell/version_info.h"

namespace veltrona {

// The about box: the program's version table, a note about the maker and a mail button.
class TFormAbout : public QDialog {
    Q_OBJECT
  public:
    explicit TFormAbout(QWidget* parent = nullptr);
};

// One "key<TAB>value" line per version key in the box's order, then the note. An empty
// table gives "Version info not available".
QString AboutText(std::span<const VersionEntry> entries);

// The "mailto:" link the mail button opens.
QString SupportMailLink();

}  // namespace veltrona
