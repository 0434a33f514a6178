#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class QSettingDlg;
}
struct SettingsStrings;

// The settings dialog: the PowerPoint program, the photo folder and the still
// format, with a two-page fault-detection guide that can start the decoder
// installer. Every change takes effect at once in the settings strings it is
// given (and the two paths in the settings file); there is no OK or Cancel. The
// presenter view runs a new one modally for each opening.
class QSettingDlg : public QDialog
{
    Q_OBJECT

public:
    explicit QSettingDlg(SettingsStrings &settings, QWidget *parent = nullptr);
    ~QSettingDlg() override;

public Q_SLOTS:
    void OnBrowser();
    void OnBrowser2();
    void OnOpenFolder();
    void onFFTChange();
    void onFaultDetect();
    void onNext();
    void onInstall();

private:
    void showGuidePage(bool software);

    std::unique_ptr<Ui::QSettingDlg> ui;
    SettingsStrings &m_settings;
};
