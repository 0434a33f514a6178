#pragma once

#include <QByteArray>
#include <QPoint>
#include <QWidget>

#include "strokemodel.h"

class QAbstractButton;
class QButtonGroup;

// The small floating bar with the ink tools, Kelvora's camera commands, saving the
// screen and Exit. Always on top; dragged by its grip strip or any spot between
// its buttons. The buttons sit in a fixed grid of three columns (index i at
// column i % 3, row i / 3) below the grip.
class ToolBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kColumns = 3;
    static constexpr int kButtonSize = 36;
    static constexpr int kGap = 2;
    static constexpr int kGripHeight = 14;

    explicit ToolBar(QWidget *parent = nullptr);

    // Shows the tool as chosen, also when it was chosen from outside.
    void showTool(InkTool tool);
    // Moves the bar to the left or right edge of its screen, keeping its height.
    void moveToEdge(bool left);
    void moveToOtherEdge();
    bool atLeftEdge() const;

Q_SIGNALS:
    void toolChosen(InkTool tool);
    void widthChosen(int index);
    void colourChosen(int index);
    void undoRequested();
    void redoRequested();
    void clearRequested();
    void saveRequested();
    // "Photo", "RotateR", "FreeZe", "ZommOut", "ZommIn": for Kelvora's presenter view.
    void cameraCommand(const QByteArray &text);
    void exitRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QAbstractButton *addButton(const QString &label, const QString &tip);
    void addToolButton(InkTool tool, const QString &label, const QString &tip);

    QButtonGroup *m_tools;
    int m_buttonCount = 0;
    QPoint m_dragOffset;
};
