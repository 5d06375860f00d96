#include "shell/form_about.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace veltrona {
namespace {

// An empty key stands for an empty line between the sections.
constexpr std::array<std::string_view, 12> kAboutKeys{"CompanyName",
                                                      "",
                                                      "FileDescription",
                                                      "FileVersion",
                                                      "InternalName",
                                                      "LegalCopyright",
                                                      "LegalTrademarks",
                                                      "OriginalFilename",
                                                      "",
                                                      "ProductName",
                                                      "ProductVersion",
                                                      ""};

constexpr char kNote[] =
    "Программа предназначена для работы с устройствами Veltrona на шине RS-485: "
    "зарядным устройством «Тарволен», инвертором «ТЛ-7150» и системой контроля "
    "батареи «СКУ».";

constexpr char kSupportAddress[] = "support@veltrona.example";
constexpr char kMailSubject[] = "Kerimon";

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString AboutText(std::span<const VersionEntry> entries) {
    if (entries.empty()) return QStringLiteral("Version info not available");
    QString text;
    for (std::string_view key : kAboutKeys) {
        if (!key.empty()) {
            const auto it = std::find_if(entries.begin(), entries.end(),
                                         [key](const VersionEntry& e) { return e.key == key; });
            text += FromView(key) + QLatin1Char('\t');
            if (it != entries.end()) text += FromView(it->value);
        }
        text += QLatin1Char('\n');
    }
    text += QStringLiteral("Comments\n") + QString::fromUtf8(kNote);
    return text;
}

QString SupportMailLink() {
    return QString::asprintf("mailto:%s?subject=%s&body=%s", kSupportAddress, kMailSubject, "");
}

TFormAbout::TFormAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(640, 480);

    auto* memo = new QPlainTextEdit(this);
    memo->setObjectName(QStringLiteral("memoAbout"));
    memo->setReadOnly(true);
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memo->setPlainText(AboutText(kVersionInfo));

    auto* contact = new QPushButton(QStringLiteral("Написать письмо"), this);
    contact->setObjectName(QStringLiteral("btnContactUs"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    connect(contact, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(SupportMailLink())); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contact);
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* page = new QVBoxLayout(this);
    page->addWidget(memo);
    page->addLayout(buttons);
}

}  // namespace veltrona
