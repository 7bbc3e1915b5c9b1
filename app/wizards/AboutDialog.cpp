#include "app/wizards/AboutDialog.h"

#include "app/shell/ApplicationVersion.h"
#include "fixtures/QelRDM.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The version text of the family's own package, asked of a fixture object of that family.
template <class Family>
QString PackageVersion()
{
    const Family fixture;
    return fixture.GetFirmwareFileVersion(fixture.GetDefaultFirmwareFile());
}

QString AboutText()
{
    return QStringLiteral("<style>P { color: white; }.version { font-size: x-large; font-weight: bold; }"
                          ".spversion { font-size: small; font-weight: normal; }</style>"
                          "<div align=\"center\">"
                          "<p class=\"version\">%1</p>"
                          "<p class=\"spversion\">BREVANT package version %2</p>"
                          "<p class=\"spversion\">Cindral package version %3</p>"
                          "<p>Copyright &copy; Quorvane. All rights reserved.</p>"
                          "</div>")
        .arg(ApplicationVersionText().toHtmlEscaped(), PackageVersion<BrevantRDM>().toHtmlEscaped(),
             PackageVersion<CindralRDM>().toHtmlEscaped());
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/Resources/about.png")));
    picture->setScaledContents(true);
    layout->addWidget(picture);

    // Text and button lie over the picture.
    auto* over = new QVBoxLayout(picture);
    over->addStretch();
    auto* text = new QLabel(picture);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setTextFormat(Qt::RichText);
    text->setText(AboutText());
    over->addWidget(text);
    auto* ok = new QPushButton(QStringLiteral("OK"), picture);
    over->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
