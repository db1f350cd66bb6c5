#include "CZoomDlg.h"

#include <QPainter>

CZoomDlg::CZoomDlg(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral("Zoom"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(320, 250);
}

void CZoomDlg::ShowPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void CZoomDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(20, 24, 30));
    if (!m_picture.isNull())
        painter.drawImage(0, 0, m_picture);
}
