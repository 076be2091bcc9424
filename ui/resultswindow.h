// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// ResultsWindow: the results window. Shows one evaluated results file; its
// buttons mail a report, ask the main window to save its chart, and open the
// file's folder, all through the desktop's URL handler.
#include <QDialog>
#include <memory>

class QLabel;

namespace Ui {
class ResultsWindow;
}

namespace ampero {

class UrlOpener;
struct ResultsEvaluation;

class ResultsWindow : public QDialog {
    Q_OBJECT
public:
    explicit ResultsWindow(UrlOpener& opener, QWidget* parent = nullptr);
    ~ResultsWindow() override;

    // Writes every text of an evaluated file into the window and its caption
    // ("Testing results", plus " (incomplete)" for a recovered file).
    void showEvaluation(const ResultsEvaluation& evaluation);

    // Folder of the shown results file, used by Send report and Open report folder.
    QString reportFolder() const { return m_reportFolder; }

Q_SIGNALS:
    // "Save graph": the main window saves its chart as a picture.
    void saveGraphRequested();

protected:
    void showEvent(QShowEvent* event) override;

private Q_SLOTS:
    void sendReport(); // Send report
    void saveChart(); // Save graph
    void openReportFolder(); // Open report folder

private:
    // The energy group of a file with a companion (hidden without one).
    void showEnergy(const ResultsEvaluation& evaluation);
    // The full-battery figure and the remark on how far to trust it.
    void showFullBattery(const ResultsEvaluation& evaluation);
    // Adds the full-battery row and the remark under "By test results".
    void addFullBatteryRow();
    // Sets each figure's explanation as the tooltip of its caption and value.
    void setFigureToolTips();

    std::unique_ptr<Ui::ResultsWindow> ui;
    UrlOpener& m_opener;
    QString m_reportFolder;
    QLabel* m_fullLifeCaption = nullptr; // "Full battery, by test:"
    QLabel* m_fullLifeLabel = nullptr; // its figure
    QLabel* m_remarkLabel = nullptr; // how far the figures can be trusted
};

} // namespace ampero
