#pragma once
// The full search of a refused image for lost volumes, from the offer to its
// end: the offer's YES starts it on the scan worker (once the worker is
// idle), the progress window watches it, a stop request ends it, and its end
// lists the volumes found as drives, says that none was found, or, after a
// stop, adds nothing. The main window hands it the messages of the search.
#include <QObject>
#include <QString>

class TLanUse;
class TThreadScan;

namespace gui {

class MessageHub;
class TFram_UndeleteMain;
class TFrm_ImageSearch;
class Tfrm_Choose_Location;

class ImageSearchController : public QObject {
    Q_OBJECT
public:
    // How long a start or an end waits for the worker to be idle between looks.
    static constexpr int kIdlePollMs = 20;

    ImageSearchController(TFram_UndeleteMain& window, Tfrm_Choose_Location& chooser, MessageHub& hub,
                          TThreadScan& worker, const TLanUse& language);
    ~ImageSearchController() override;

    // The image the offer is about (its path), before the question shows.
    void Offer(const QString& image) { offered_ = image; }
    QString Offered() const { return offered_; }

    // The messages of the search.
    void OnSearchWholeImage();
    void OnStopImageSearch();
    void OnImageSearchEnded();

    // A search was started and its end not yet handled.
    bool Running() const { return running_; }
    TFrm_ImageSearch* ProgressWindow() const { return progress_; }

private:
    void StartWhenIdle();
    void EndWhenIdle();

    TFram_UndeleteMain& window_;
    Tfrm_Choose_Location& chooser_;
    TThreadScan& worker_;
    QString offered_;
    bool running_ = false;
    TFrm_ImageSearch* progress_;
};

} // namespace gui
