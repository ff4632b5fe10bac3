#include "app/ui/About.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/Services.h"
#include "lsp/lsp.h"

namespace quillet {

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutWindow");
    setWindowTitle("About Quillet");
    auto* layout = new QVBoxLayout(this);

    auto* name = new QLabel("<b>Quillet</b>", this);
    name->setObjectName("programName");
    name->setAlignment(Qt::AlignCenter);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    name->setFont(big);
    layout->addWidget(name);
    auto* version = new QLabel("v1.5.04", this);
    version->setObjectName("programVersion");
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);
    auto* purpose = new QLabel("Backups of your projects in numbered archives.", this);
    purpose->setAlignment(Qt::AlignCenter);
    layout->addWidget(purpose);

    auto* form = new QFormLayout;
    auto* pack = new QLabel(QString::number(LSP_P_VERSION()), this);
    pack->setObjectName("packVersion");
    pack->setAccessibleName("LSPack Version:");
    auto* unpack = new QLabel(QString::number(LSP_U_VERSION()), this);
    unpack->setObjectName("unpackVersion");
    unpack->setAccessibleName("LSUnPack Version:");
    form->addRow("LSPack Version:", pack);
    form->addRow("LSUnPack Version:", unpack);
    layout->addLayout(form);

    auto* ok = new QPushButton("&OK", this);
    ok->setObjectName("okButton");
    ok->setAccessibleName("OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    layout->addLayout(buttons);
}

void About(const Services&, QWidget* parent) {
    AboutWindow window(parent);
    window.exec();
}

}  // namespace quillet
