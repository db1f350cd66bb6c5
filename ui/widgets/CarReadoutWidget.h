#pragma once
#include "ui/logic/CarReadout.h"

#include <QWidget>

// The car's own driving data beside the graph (a car with built-in cameras): the speed between
// the two turn-signal arrows (lit green while they blink), the gear lever's P R N D with the
// current one lit, the accelerator as a green bar, the brake as a red one, the steering wheel
// drawn turned by its angle with the angle under it, and the driver-assist state in words. It
// paints the CarReadout it is given and nothing else; a hidden readout hides the widget.
//
// Drawn for kWidth × kHeight pixels and scaled to the widget's size, its aspect kept.
//
// Threads: GUI thread.
class CarReadoutWidget final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 170;
    static constexpr int kHeight = 104;

    explicit CarReadoutWidget(QWidget* parent = nullptr);

    // Shows the readout (repainted only when it changed); hides the widget for a hidden one.
    void Show(const CarReadout& readout);
    const CarReadout& Readout() const { return m_readout; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CarReadout m_readout;
};
