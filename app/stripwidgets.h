#pragma once
// Two controls of the free-setting strip: the gain slider, which marks the
// loop's critical gain on its track, and the gain field, which writes and
// reads its number with the lessons' decimal separator.

#include "render/numberformat.h"

#include <QDoubleSpinBox>
#include <QSlider>

#include <optional>

namespace lodrix {

class GainSlider final : public QSlider {
public:
    explicit GainSlider(QWidget *parent);

    // The position marked on the track (the critical gain's); none: no mark.
    void setMark(std::optional<int> position);
    std::optional<int> mark() const { return mark_; }
    // The handle's length along the track, in the widget's pixels.
    int handleLength() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<int> mark_;
};

// Shows its value as the lessons write numbers (« 2,5 » in French) and reads
// what is typed with either separator (NumberFormat::read).
class NumberField final : public QDoubleSpinBox {
public:
    NumberField(QWidget *parent, NumberFormat numbers) : QDoubleSpinBox(parent), numbers_(std::move(numbers))
    {}
    void setNumbers(NumberFormat numbers);

    QString textFromValue(double value) const override;
    double valueFromText(const QString &text) const override;
    QValidator::State validate(QString &text, int &position) const override;
    void fixup(QString &text) const override;

private:
    NumberFormat numbers_;
};

} // namespace lodrix
