#pragma once
// The console window's drawing surface: shows the renderer's canvas, turns
// redraw requests from any thread into drawing on the UI thread, and passes
// clicks and keys to the organ.
//
// Requests are queued and coalesced: each control and key is
// drawn once however often it was asked for, a full repaint swallows the
// element requests, and everything queued within one frame is painted
// together (a general that sets 60 drawstops repaints the window once).
//
// Threads: the Queue* functions from any thread (the MIDI thread included;
// they take a short lock of their own and never wait on the UI). Everything
// else on the UI thread.

#include <array>
#include <atomic>
#include <bitset>
#include <mutex>

#include <QTimer>
#include <QWidget>

#include "console/render/ConsoleRenderer.h"
#include "organ/Constants.h"

namespace tessaline {

class Control;
class Organ;

class ConsoleWidget : public QWidget {
    Q_OBJECT

public:
    ConsoleWidget(Organ& organ, const ConsoleArtwork& artwork, QWidget* parent = nullptr);

    ConsoleRenderer& Renderer() { return renderer; }

    // Any thread.
    void QueueRedraw();
    void QueueControlRedraw(const Control& control);
    void QueueKeyRedraw(int manual, int key);
    // The bar of enclosure `enclosure` (from 0), after its position changed.
    void QueueEnclosureBarRedraw(int enclosure);

    // UI: draws everything queued now (the frame timer calls it); false when
    // nothing was queued.
    bool Flush();
    // UI: how many flushes have drawn something.
    int Repaints() const { return repaints; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    struct Pending {
        bool full = false;
        int controlCount = 0;
        std::array<const Control*, kMaxQueuedControlRedraws> controls{};
        std::bitset<kMaxManuals * kMaxLogicalKeys> keys;
        std::bitset<kMaxEnclosures> enclosureBars;
    };
    // Starts the frame timer on the UI thread unless a flush is already due.
    void Schedule();
    void DrawPending(const Pending& work);

    Organ& organ;
    ConsoleRenderer renderer;
    QTimer frameTimer;
    std::mutex pendingLock;
    Pending pending;
    std::atomic<bool> scheduled{false};
    int repaints = 0;
};

}  // namespace tessaline
