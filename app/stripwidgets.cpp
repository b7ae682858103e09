#include "stripwidgets.h"

#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionSlider>

namespace lodrix {

GainSlider::GainSlider(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
    // Disabled, the groove keeps no filled part and the handle is greyed:
    // the style would draw them as the enabled slider's.
    QPalette p = palette();
    p.setColor(QPalette::Disabled, QPalette::Highlight, p.color(QPalette::Disabled, QPalette::Button));
    p.setColor(QPalette::Disabled, QPalette::Button, p.color(QPalette::Disabled, QPalette::Midlight));
    setPalette(p);
}

void GainSlider::setMark(std::optional<int> position)
{
    if (position == mark_)
        return;
    mark_ = position;
    update();
}

int GainSlider::handleLength() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this).width();
}

void GainSlider::paintEvent(QPaintEvent *event)
{
    // The mark first, across the widget's height: the groove and the handle
    // are drawn over it, so it shows above and below the track and the
    // handle covers it when it stands on it. A disabled slider has none.
    if (mark_ && isEnabled()) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        option.sliderPosition = *mark_;
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        QPainter painter(this);
        painter.fillRect(handle.center().x(), 0, 2, height(), QColor(0xc0, 0, 0));
    }
    QSlider::paintEvent(event);
}

void NumberField::setNumbers(NumberFormat numbers)
{
    if (numbers.decimalSeparator() == numbers_.decimalSeparator())
        return;
    numbers_ = std::move(numbers);
    setValue(value()); // shown again with the new separator
    lineEdit()->setText(textFromValue(value()));
}

QString NumberField::textFromValue(double value) const
{
    return QString::fromStdString(numbers_.general(value));
}

double NumberField::valueFromText(const QString &text) const
{
    return NumberFormat::read(text.toStdString()).value_or(value());
}

QValidator::State NumberField::validate(QString &text, int &) const
{
    if (const std::optional<double> v = NumberFormat::read(text.toStdString()))
        return *v >= minimum() && *v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
    // On the way to a number: empty, a sign, a separator alone.
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String("-") || trimmed == QLatin1String("+") ||
        trimmed == QLatin1String(",") || trimmed == QLatin1String("."))
        return QValidator::Intermediate;
    return QValidator::Invalid;
}

void NumberField::fixup(QString &text) const
{
    text = textFromValue(value());
}

} // namespace lodrix
