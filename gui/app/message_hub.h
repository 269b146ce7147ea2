#pragma once
// The hub of the window messages. "Post" queues a message for the window
// thread and may be called from any thread (the workers' MessageSink is the
// hub); "Send" delivers at once and only on the window thread. Each message
// goes to one receiver: the main window, or the result page for the answer
// of question 5.
#include <QObject>

#include <cstdint>

#include "gui/app/messages.h"

namespace gui {

enum class HubTarget : uint8_t { MainWindow, ResultPage };

struct HubMessage {
    HubTarget target = HubTarget::MainWindow;
    unsigned msg = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
};

class HubReceiver {
public:
    virtual ~HubReceiver() = default;
    virtual void Receive(const HubMessage& message) = 0;
};

class MessageHub : public QObject, public MessageSink {
    Q_OBJECT
public:
    explicit MessageHub(QObject* parent = nullptr);

    // The workers' side: everything they post goes to the main window.
    void post(unsigned msg, uintptr_t wparam, intptr_t lparam) override;

    void Post(HubTarget target, unsigned msg, uintptr_t wparam = 0, intptr_t lparam = 0);
    void Post(unsigned msg, uintptr_t wparam = 0, intptr_t lparam = 0) { Post(HubTarget::MainWindow, msg, wparam, lparam); }
    void Send(HubTarget target, unsigned msg, uintptr_t wparam = 0, intptr_t lparam = 0);
    void Send(unsigned msg, uintptr_t wparam = 0, intptr_t lparam = 0) { Send(HubTarget::MainWindow, msg, wparam, lparam); }

    void SetReceiver(HubTarget target, HubReceiver* receiver);

signals:
    // Every message, on the window thread, just before its receiver gets it
    // (also when there is none): what tests and traces watch.
    void Delivered(const gui::HubMessage& message);

protected:
    void customEvent(QEvent* event) override;

private:
    void Deliver(const HubMessage& message);
    HubReceiver* mainWindow_ = nullptr;
    HubReceiver* resultPage_ = nullptr;
};

} // namespace gui

Q_DECLARE_METATYPE(gui::HubMessage)
