#pragma once
// The deep scan of a whole image that holds no volume to read, from the
// offer to the scan's start: question 8 asks; its YES opens the image on the
// scan worker to be searched by content, makes it the only place checked,
// and starts the scan as the SCAN button does; its NO leaves the window as
// it was. The main window hands it the question's YES.
#include <QObject>
#include <QString>

namespace gui {

class TFram_UndeleteMain;
class TFrm_Choose;

class DeepScanOffer : public QObject {
    Q_OBJECT
public:
    // How often the wait for the image's drive looks again.
    static constexpr int kListedPollMs = 20;

    DeepScanOffer(TFram_UndeleteMain& window, TFrm_Choose& startPage);

    // Dims and asks question 8 about `image` (its path). `afterSearch`: the
    // whole image was searched for lost volumes and held none.
    void Offer(const QString& image, bool afterSearch);
    bool AfterSearch() const { return afterSearch_; }
    QString Offered() const { return offered_; }
    // The YES was given and the image is being opened for the search.
    bool Opening() const { return opening_; }

    void OnDeepScanWholeImage();

private:
    void StartWhenListed();

    TFram_UndeleteMain& window_;
    TFrm_Choose& startPage_;
    QString offered_;
    bool afterSearch_ = false;
    bool opening_ = false;
};

} // namespace gui
