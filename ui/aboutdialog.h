// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "ui/versioninfo.h"

#include <QDialog>
#include <memory>

namespace Ui {
class AboutDialog;
}

namespace ampero {

class UrlOpener;

// The about window: icon, "Orvex Ampero", version, build, the copyright line
// with a link to the licence shipped with the program, and the author's web
// page as a link that the desktop's URL handler opens.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // urlOpener may be null (the link then opens nothing); not owned.
    AboutDialog(const VersionInfo& version, UrlOpener* urlOpener, QWidget* parent = nullptr);
    ~AboutDialog() override;

public Q_SLOTS:
    void openLink(const QString& link);
    // The GNU GPL text embedded in the program, in a window of its own.
    void showLicence();

private:
    std::unique_ptr<Ui::AboutDialog> ui;
    UrlOpener* m_urlOpener;
};

} // namespace ampero
