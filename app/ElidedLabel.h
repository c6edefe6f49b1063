#pragma once
// A one-line label that shows text too long for it with an ellipsis in the middle (a
// folder path keeps its start and its last names) and the whole text as its tool tip.

#include <QLabel>

class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text as painted at the current width.
    QString elidedText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    QSize minimumSizeHint() const override;
};
