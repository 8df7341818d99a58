#include "console/render/ConsoleWidget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "console/ConsoleControls.h"
#include "console/render/KeyCodes.h"
#include "organ/Organ.h"

namespace tessaline {

ConsoleWidget::ConsoleWidget(Organ& owner, const ConsoleArtwork& artwork, QWidget* parent)
    : QWidget(parent), organ(owner), renderer(owner, artwork) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    frameTimer.setSingleShot(true);
    frameTimer.setInterval(kConsoleRedrawDelayMilliseconds);
    connect(&frameTimer, &QTimer::timeout, this, [this] { Flush(); });
    // The composed pictures read the canvas, which only this window paints,
    // so being covered cannot spoil them. The window still comes forward
    // once after a load and takes the keyboard, so that the console's
    // shortcut keys work at once; it stays in its ordinary layer.
    renderer.bringToFront = [this](bool above) {
        if (!above) return;
        QWidget* top = window();
        if (!top->isVisible()) return;
        top->raise();
        top->activateWindow();
        setFocus(Qt::ActiveWindowFocusReason);
    };
}

void ConsoleWidget::Schedule() {
    if (scheduled.exchange(true, std::memory_order_acq_rel)) return;
    // The timer belongs to the UI thread: start it there.
    QMetaObject::invokeMethod(this, [this] { frameTimer.start(); }, Qt::QueuedConnection);
}

void ConsoleWidget::QueueRedraw() {
    {
        std::lock_guard<std::mutex> guard(pendingLock);
        pending.full = true;
    }
    Schedule();
}

void ConsoleWidget::QueueControlRedraw(const Control& control) {
    {
        std::lock_guard<std::mutex> guard(pendingLock);
        bool queued = false;
        for (int i = 0; i < pending.controlCount && !queued; ++i)
            queued = pending.controls[static_cast<size_t>(i)] == &control;
        if (!queued) {
            if (pending.controlCount < kMaxQueuedControlRedraws)
                pending.controls[static_cast<size_t>(pending.controlCount++)] = &control;
            else
                pending.full = true;
        }
    }
    Schedule();
}

void ConsoleWidget::QueueKeyRedraw(int manual, int key) {
    if (manual < 0 || manual >= kMaxManuals || key < 0 || key >= kMaxLogicalKeys) return;
    {
        std::lock_guard<std::mutex> guard(pendingLock);
        pending.keys.set(static_cast<size_t>(manual * kMaxLogicalKeys + key));
    }
    Schedule();
}

void ConsoleWidget::QueueEnclosureBarRedraw(int enclosure) {
    if (enclosure < 0 || enclosure >= kMaxEnclosures) return;
    {
        std::lock_guard<std::mutex> guard(pendingLock);
        pending.enclosureBars.set(static_cast<size_t>(enclosure));
    }
    Schedule();
}

bool ConsoleWidget::Flush() {
    Pending work;
    {
        std::lock_guard<std::mutex> guard(pendingLock);
        work = pending;
        pending = Pending{};
        scheduled.store(false, std::memory_order_release);
    }
    if (!work.full && work.controlCount == 0 && work.keys.none() && work.enclosureBars.none())
        return false;
    DrawPending(work);
    ++repaints;
    update();
    return true;
}

void ConsoleWidget::DrawPending(const Pending& work) {
    if (work.full) {
        renderer.DrawConsole();
        return;
    }
    if (!organ.loaded) return;
    for (int i = 0; i < work.controlCount; ++i) {
        ControlRef ref;
        if (!FindControl(organ, work.controls[static_cast<size_t>(i)], ref)) continue;
        if (ref.drawstop)
            renderer.DrawDrawstop(*ref.drawstop);
        else
            renderer.DrawButton(*ref.button);
    }
    for (size_t bit = 0; bit < work.keys.size(); ++bit)
        if (work.keys.test(bit))
            renderer.DrawKey(organ.manuals[bit / kMaxLogicalKeys], static_cast<int>(bit % kMaxLogicalKeys));
    std::span<Enclosure> enclosures = organ.Enclosures();
    for (size_t e = 0; e < enclosures.size(); ++e)
        if (work.enclosureBars.test(e)) renderer.DrawEnclosureBar(enclosures[e]);
}

void ConsoleWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, renderer.Canvas());
}

void ConsoleWidget::resizeEvent(QResizeEvent*) {
    renderer.SetClientSize(width(), height());
    renderer.DrawConsole();
}

void ConsoleWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QPoint at = event->position().toPoint();
        organ.OnLeftButtonDown(at.x(), at.y());
    }
    QWidget::mousePressEvent(event);
}

void ConsoleWidget::keyPressEvent(QKeyEvent* event) {
    uint32_t code = VirtualKeyCode(event->key(), event->modifiers());
    if (code == kShiftKeyCode)
        organ.SetCaptureMode(true);
    else if (code != 0)
        organ.OnKeyDown(code);  // auto-repeats too: a held shortcut toggles again
    QWidget::keyPressEvent(event);
}

void ConsoleWidget::keyReleaseEvent(QKeyEvent* event) {
    // A held shift repeats as release and press pairs; only the real release counts.
    if (!event->isAutoRepeat() && VirtualKeyCode(event->key(), event->modifiers()) == kShiftKeyCode)
        organ.SetCaptureMode(false);
    QWidget::keyReleaseEvent(event);
}

}  // namespace tessaline
