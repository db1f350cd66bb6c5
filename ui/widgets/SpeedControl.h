#pragma once

#include <QWidget>

// A small control for the playing speed: the speed as text ("0.25x" … "8x") between a slower
// and a faster arrow, white on a dark rounded box. A left click on its left half asks for the
// next slower offered speed, on its right half for the next faster one; the wheel does the
// same (up: faster). It shows the speed it is told (SetSpeed) and nothing else: the owner
// decides what plays.
//
// GUI thread only. Units: percent of the recording's pace.
class SpeedControl : public QWidget {
    Q_OBJECT
public:
    explicit SpeedControl(QWidget* parent = nullptr);

    void SetSpeed(int percent);
    int Speed() const { return m_percent; }
    QSize sizeHint() const override { return {56, 21}; }

signals:
    // A speed was asked for (not yet shown).
    void speedRequested(int percent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_percent = 100;
};
