#pragma once

#include <QWidget>

class QPushButton;
class QTableView;

namespace tarvex::app {

class TrafficLog;

// The "Traffic Log" window: a non-modal list of the exchanges, kept scrolled to the newest
// while it is at the bottom, with "Save As..." (the --trace format) and "Clear".
class TrafficLogWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TrafficLogWindow(TrafficLog& log, QWidget* parent = nullptr);

    QTableView* list() const { return list_; }
    QPushButton* saveAsButton() const { return saveAs_; }
    QPushButton* clearButton() const { return clear_; }

    // Asks for a file and writes the list to it; a failed write is reported in a box.
    void saveAs();

private:
    void followNewest();
    void fitWaits(int first, int last);

    TrafficLog& log_;
    QTableView* list_;
    QPushButton* saveAs_;
    QPushButton* clear_;
    bool atBottom_ = true;
};

} // namespace tarvex::app
