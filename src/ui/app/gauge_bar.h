#pragma once
// The progress gauge ProgBar: a blue bar on a framed track, with the percentage done written
// across it, dark on the track and light on the bar.
#include <QProgressBar>

namespace jqz {

class GaugeBar : public QProgressBar {
    Q_OBJECT
public:
    explicit GaugeBar(QWidget* parent = nullptr);
    // The percentage shown: the position's share of the maximum, 0 to 100.
    int percent() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace jqz
