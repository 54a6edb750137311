#pragma once
// The package view "Device Package Layout": one tab page per package of the selected device,
// each showing that package's pin-out drawing.
#include <QMainWindow>
#include <array>
#include <string>
#include <vector>

#include "core/app/settings_file.h"

class QAction;
class QLabel;
class QStackedWidget;
class QStatusBar;
class QTabWidget;

namespace jqz {

class EmfPicture;

class TDPView1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kPages = 7;

    explicit TDPView1(QWidget* parent = nullptr);

    // The main window's marking actions, run when this window is shown and when it closes.
    void setShowPackageActions(QAction* open, QAction* close);

    // Shows the drawings of a package drawing list: entry 0 the folder (ending with the
    // separator; empty = nothing to show), entries 1..7 the file per page. A drawing is loaded
    // only when its file name differs from the one shown on that page last time.
    void ShowDrawings(const std::vector<std::string>& list);
    const std::vector<std::string>& currentList() const { return current_; }

    PackageViewGeometry GetGeometry() const;
    // Applies left, top, height and width, then shows the window or closes it.
    void SetGeometry(const PackageViewGeometry& geometry);

    QTabWidget* pageControl() const { return pageControl1_; }
    EmfPicture* picture(int page) const { return pictures_[static_cast<std::size_t>(page)]; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void FormClose();
    void PageControl1Change();
    void updateStatusBar();

    QTabWidget* pageControl1_ = nullptr;
    QLabel* emptyNote_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QStatusBar* statusBar1_ = nullptr;
    std::array<QWidget*, kPages> pages_{};
    std::array<EmfPicture*, kPages> pictures_{};
    std::vector<std::string> current_;
    QAction* showPackageOpen_ = nullptr;
    QAction* showPackageClose_ = nullptr;
};

}  // namespace jqz
