#pragma once
// The views box of the free-setting entry as a control: a transparent,
// focusable area over the box the window canvas draws, which hands the
// pointer (in its own pixels) and the view's keys to the window, which hands
// them to the controller in form pixels. It decides nothing.

#include <QWidget>

#include <functional>
#include <optional>

namespace lodrix {

class ViewArea final : public QWidget {
public:
    explicit ViewArea(QWidget *parent);

    std::function<void(QPointF)> pressed;
    std::function<void(std::optional<QPointF>)> pointed; // none: the pointer left
    std::function<void()> released;
    std::function<void(int)> stepped; // slider steps, + up

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

} // namespace lodrix
