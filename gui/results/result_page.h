#pragma once
// The result page: the found files as trees and a list. For now the skinned
// page with its title bar and the Back button; it already takes the answer
// of question 5 (leave the results), which the question box posts to it.
#include <functional>

#include "gui/app/message_hub.h"
#include "gui/app/skin_page.h"

class RdImgButton;
class RdLabel;

namespace gui {

class TFrm_Result : public SkinPage, public HubReceiver {
    Q_OBJECT
public:
    TFrm_Result(MessageHub& hub, const TLanUse& language, std::function<void()> openAbout, QWidget* parent);

    void Receive(const HubMessage& message) override;
    RdImgButton* BackButton() const { return back_; }
    // Takes a finished scan's result: how many files were found and their
    // total size. The trees and the list come with the result view.
    void LoadResults(uint32_t foundCount, int64_t totalSize);
    RdLabel* ResultHeader() const { return header_; }
    // Hides the question box once its answer has arrived.
    void SetQuestionCloser(std::function<void()> close) { closeQuestion_ = std::move(close); }

private:
    RdImgButton* back_;
    RdLabel* header_;
    std::function<void()> closeQuestion_;
};

} // namespace gui
