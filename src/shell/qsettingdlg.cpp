#include "qsettingdlg.h"
#include "ui_qsettingdlg.h"

#include "common/paths.h"
#include "platform/dialogs.h"
#include "platform/programlauncher.h"
#include "shell/annotationprogram.h"
#include "shell/settingsfile.h"
#include "shell/settingsstrings.h"

namespace {
const char *const stillFormats[] = {"jpg", "bmp", "tif", "png"};

const QString nextPageText = QStringLiteral("下一步");
const QString previousPageText = QStringLiteral("上一步");

struct GuidePage
{
    const char *first;
    const char *second;
};
const GuidePage hardwarePage = {"硬件检查:\n1 , USB线是否有松动。",
                                "2 , 确认USB是连接到电脑\n的USB口上, 并切换到\nUSB3.0接口上。"};
const GuidePage softwarePage = {
    "软件检查:\n1 , 排除杀毒软件阻隔系\n统文件; 点击解码器重装。",
    "2 , 重装解码器后故障未\n排除的情况下， 退出所有\n杀毒软件，重装高拍仪软\n件。"};
} // namespace

QSettingDlg::QSettingDlg(SettingsStrings &settings, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::QSettingDlg>()), m_settings(settings)
{
    ui->setupUi(this);
    setWindowFlags(Qt::WindowStaysOnTopHint);
    for (const char *format : stillFormats)
        ui->comboBoxFileFormat->addItem(QString::fromLatin1(format));
    ui->lineEditImagePath->setText(QString::fromLocal8Bit(m_settings.m_strImagePath));
    ui->lineEditPPTPath->setText(QString::fromLocal8Bit(m_settings.m_strPptPath));
    // The format in force, selected before the connections: opening the dialog
    // changes nothing.
    const int inForce =
        ui->comboBoxFileFormat->findText(QString::fromLocal8Bit(m_settings.m_strImageFormat));
    ui->comboBoxFileFormat->setCurrentIndex(qMax(0, inForce));
    showGuidePage(false);
    ui->groupBoxFaultDetect->hide();
    ui->comboBoxDev->hide();
    ui->label_4->hide();

    connect(ui->pushButtonBrowser, &QPushButton::clicked, this, &QSettingDlg::OnBrowser);
    connect(ui->pushButtonBrowser2, &QPushButton::clicked, this, &QSettingDlg::OnBrowser2);
    connect(ui->pushButtonOpenFolder, &QPushButton::clicked, this, &QSettingDlg::OnOpenFolder);
    connect(ui->comboBoxFileFormat, &QComboBox::currentIndexChanged, this,
            &QSettingDlg::onFFTChange);
    connect(ui->pushButtonDetect, &QPushButton::clicked, this, &QSettingDlg::onFaultDetect);
    connect(ui->pushButtonNext, &QPushButton::clicked, this, &QSettingDlg::onNext);
    connect(ui->pushButtonInst, &QPushButton::clicked, this, &QSettingDlg::onInstall);
}

QSettingDlg::~QSettingDlg() = default;

void QSettingDlg::OnBrowser()
{
    const QString chosen = Dialogs::current().existingDirectory(
        this, QStringLiteral("选择目录"), QString::fromLocal8Bit(m_settings.m_strWorkPath));
    if (!storeChosenPath(m_settings.m_strImagePath, chosen, "imagepath", m_settings.m_strWorkPath))
        return;
    ui->lineEditImagePath->setText(QString::fromLocal8Bit(m_settings.m_strImagePath));
    // Tells the annotation program that the photo folder changed, once it is stored.
    sendAnnotationCommand(quint64(winId()), "Update");
}

void QSettingDlg::OnBrowser2()
{
    // Programs carry no extension here, so every file is offered.
    const QString chosen = Dialogs::current().openFileName(
        this, QStringLiteral("请设置PPT应用软件"), QString(), QString());
    if (storeChosenPath(m_settings.m_strPptPath, chosen, "pptpath", m_settings.m_strWorkPath))
        ui->lineEditPPTPath->setText(QString::fromLocal8Bit(m_settings.m_strPptPath));
}

void QSettingDlg::OnOpenFolder()
{
    ProgramLauncher::current().open(QString::fromLocal8Bit(m_settings.m_strImagePath));
}

void QSettingDlg::onFFTChange()
{
    m_settings.m_strImageFormat = ui->comboBoxFileFormat->currentText().toLocal8Bit();
}

void QSettingDlg::onFaultDetect()
{
    ui->groupBoxFaultDetect->setVisible(ui->groupBoxFaultDetect->isHidden());
    showGuidePage(false);
}

void QSettingDlg::onNext()
{
    showGuidePage(ui->pushButtonNext->text() == nextPageText);
}

void QSettingDlg::onInstall()
{
    ProgramLauncher::current().open(QString::fromLocal8Bit(programFolder() + "Tavimor"));
}

void QSettingDlg::showGuidePage(bool software)
{
    const GuidePage &page = software ? softwarePage : hardwarePage;
    ui->labelCheck1->setText(QString::fromUtf8(page.first));
    ui->labelCheck2->setText(QString::fromUtf8(page.second));
    ui->pushButtonInst->setVisible(software);
    ui->pushButtonNext->setText(software ? previousPageText : nextPageText);
}
