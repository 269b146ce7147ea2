#pragma once
// The skinned progress bar, and the progress ring with its rotating picture.
// Both stay QProgressBars underneath, so screen readers read their value.
#include <QProgressBar>
#include <QTimer>

class RdProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit RdProgressBar(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {240, 10}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A ring that fills with the value, the percent in its middle, and a picture
// that an animator turns while work runs.
class RdProgressRing : public QProgressBar {
    Q_OBJECT
public:
    explicit RdProgressRing(QWidget* parent = nullptr);
    // Starts or stops the rotating picture.
    void SetSpinning(bool spinning);
    bool Spinning() const { return animator_.isActive(); }
    // The text in the middle ("%d %%" filled by the caller's language table).
    void SetCentreText(const QString& text);
    QSize sizeHint() const override { return {160, 160}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer animator_;
    int angle_ = 0;
    QString centre_;
};
