#include "qcompareimage.h"
#include "ui_qcompareimage.h"

#include <QPushButton>

#include "platform/dialogs.h"
#include "platform/programlauncher.h"
#include "viewing/comparegrid.h"
#include "viewing/iconbutton.h"
#include "viewing/qcellitem.h"
#include "viewing/qimageviewwidget.h"

namespace {
constexpr int iconSide = 25;
} // namespace

QCompareImage::QCompareImage(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::QCompareImage>())
{
    ui->setupUi(this);
    const struct
    {
        QPushButton *button;
        const char *icon;
        void (QCompareImage::*slot)();
    } layouts[] = {
        {ui->pushButton1Cell, ":/Resources/images/1cell.png", &QCompareImage::on1cell},
        {ui->pushButton2Cell, ":/Resources/images/2cell.png", &QCompareImage::on2cell},
        {ui->pushButton3Cell, ":/Resources/images/3cell.png", &QCompareImage::on3cell},
        {ui->pushButton4Cell, ":/Resources/images/4cell.png", &QCompareImage::on4cell},
        {ui->pushButton16Cell, ":/Resources/images/16cell.png", &QCompareImage::on16cell},
    };
    for (const auto &entry : layouts) {
        makeIconButton(entry.button, entry.icon, iconSide);
        connect(entry.button, &QPushButton::clicked, this, entry.slot);
    }
    connect(ui->pushButtonBrowser, &QPushButton::clicked, this, &QCompareImage::onBrowser);
    connect(ui->pushButtonOpen, &QPushButton::clicked, this, &QCompareImage::onOpen);
}

QCompareImage::~QCompareImage() = default;

void QCompareImage::showMode(int mode)
{
    if (mode != 0 && mode != 1)
        return;
    const bool paired = mode == 1;
    ui->widget_2->setVisible(!paired);
    // Shown first: a first showing rebuilds the remembered grid, which may be
    // smaller than the two cells needed here.
    show();
    // The host takes or gives back the bar's room at once, so the cells fit it.
    layout()->activate();
    buildCells(2);
    if (!paired)
        return;
    m_listCells[0]->showSnapshot();
    QCellItem *live = m_listCells[1];
    live->m_bLive = true;
    live->m_bFitPending = true;
    live->setButtonsVisible(false);
}

void QCompareImage::showLiveImage(const QPixmap &frame, bool refit)
{
    for (QCellItem *cell : std::as_const(m_listCells)) {
        if (!cell->m_bLive)
            continue;
        if (!cell->m_bFullScreen) {
            cell->showLiveFrame(frame);
        } else if (m_sources.viewer) {
            QImageViewWidget *viewer = m_sources.viewer;
            viewer->m_pCell = cell;
            viewer->showImage(frame, refit);
        }
    }
}

void QCompareImage::chooseLayout(int count)
{
    m_nCellCount = count;
    buildCells(count);
}

void QCompareImage::on1cell()
{
    chooseLayout(1);
}

void QCompareImage::on2cell()
{
    chooseLayout(2);
}

void QCompareImage::on3cell()
{
    chooseLayout(3);
}

void QCompareImage::on4cell()
{
    chooseLayout(4);
}

void QCompareImage::on16cell()
{
    chooseLayout(16);
}

void QCompareImage::onBrowser()
{
    m_strPath = Dialogs::current().existingDirectory(this, QStringLiteral("请选择目录"), QString());
    ui->lineEditPath->setText(m_strPath);
}

void QCompareImage::onOpen()
{
    // Without a chosen folder there is nothing to open; the desktop would be
    // handed an empty name.
    if (m_strPath.isEmpty())
        return;
    ProgramLauncher::current().open(m_strPath);
}

void QCompareImage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    buildCells(m_nCellCount);
}

void QCompareImage::buildCells(int count)
{
    qDeleteAll(m_listCells);
    m_listCells.clear();
    const QList<QRect> places = compareGridCells(count, ui->widget->size());
    for (int i = 0; i < count; ++i) {
        auto *cell = new QCellItem(m_sources, ui->widget);
        m_listCells.append(cell);
        cell->show();
        if (i < places.size())
            cell->setGeometry(places[i]);
    }
}
