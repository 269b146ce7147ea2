#pragma once
// The hub of the window messages. "Post" queues a message for the window
// thread and may be called from any thread (the workers' MessageSink is the
// hub, and it posts through the same function); "Send" delivers at once and
// only on the window thread. Each message goes to one receiver: the main
// window, or the result page for the answer of question 5. Messages with a
// payload are made and read through their typed helpers only.
#include <QObject>

#include <cstdint>

#include "gui/common/messages.h"

namespace gui {

enum class HubTarget : uint8_t { MainWindow, ResultPage };

struct HubMessage {
    HubTarget target = HubTarget::MainWindow;
    Msg msg{};
    // The payload, in the two parameters the message numbers carry it in.
    uintptr_t wparam = 0;
    intptr_t lparam = 0;

    // Msg::Dimming: undim rather than dim.
    bool Undims() const { return wparam != 0; }
    // Msg::NoticeAnswered: by OK rather than the close button.
    bool NoticeOk() const { return lparam != 0; }
    // Msg::LeaveResults to the result page: question 5 answered YES.
    bool Yes() const { return wparam != 0; }
};

// The answer to question 5, for the result page.
inline HubMessage BackAnswer(bool yes) { return HubMessage{HubTarget::ResultPage, Msg::LeaveResults, yes ? 1u : 0u}; }

class HubReceiver {
public:
    virtual ~HubReceiver() = default;
    virtual void Receive(const HubMessage& message) = 0;
};

class MessageHub : public QObject, public MessageSink {
    Q_OBJECT
public:
    explicit MessageHub(QObject* parent = nullptr);

    // The one way to queue a message; safe from any thread.
    void Post(const HubMessage& message);
    void Post(Msg msg) { Post(HubMessage{HubTarget::MainWindow, msg}); }
    // Delivers at once; window thread only.
    void Send(const HubMessage& message);
    void Send(Msg msg) { Send(HubMessage{HubTarget::MainWindow, msg}); }

    // The typed helpers of the messages with a payload.
    void Dim() { Send(HubMessage{HubTarget::MainWindow, Msg::Dimming, 0}); }
    void Undim() { Send(HubMessage{HubTarget::MainWindow, Msg::Dimming, 1}); }
    void PostNoticeAnswered(bool ok) { Post(HubMessage{HubTarget::MainWindow, Msg::NoticeAnswered, 0, ok ? 1 : 0}); }

    void SetReceiver(HubTarget target, HubReceiver* receiver);

signals:
    // Every message, on the window thread, just before its receiver gets it
    // (also when there is none): what tests and traces watch.
    void Delivered(const gui::HubMessage& message);

protected:
    void customEvent(QEvent* event) override;

private:
    // The workers' side: what they report goes to the main window.
    void post(unsigned msg, uintptr_t wparam, intptr_t lparam) override;
    void Deliver(const HubMessage& message);
    HubReceiver* mainWindow_ = nullptr;
    HubReceiver* resultPage_ = nullptr;
};

} // namespace gui

Q_DECLARE_METATYPE(gui::HubMessage)
