#include "ui/device/package_view.h"

#include <QAction>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/device/supported_device_list.h"
#include "ui/app/icons.h"
#include "ui/app/window_placement.h"
#include "ui/device/emf_picture.h"

namespace jqz {

namespace {
constexpr const char* kPageNames[TDPView1::kPages] = {"PLCC52", "PLCC68", "PLCC84", "QFP64",
                                                      "TQFP80", "SDIP56", "DIP48"};
constexpr QSize kDesignedSize{640, 560};
}  // namespace

TDPView1::TDPView1(QWidget* parent) : QMainWindow(parent, Qt::Window) {
    setObjectName("DPView1");
    setWindowTitle(QStringLiteral("Device Package Layout"));
    setWindowIcon(ShellIcon("package_view"));
    setMinimumSize(420, 350);
    resize(kDesignedSize);

    pageControl1_ = new QTabWidget(this);
    pageControl1_->setObjectName("PageControl1");
    pageControl1_->setDocumentMode(true);
    for (int p = 0; p < kPages; ++p) {
        auto* page = new QWidget(pageControl1_);
        page->setObjectName(kPageNames[p]);
        page->setAutoFillBackground(true);
        QPalette white = page->palette();
        white.setColor(QPalette::Window, Qt::white);
        page->setPalette(white);
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(4, 4, 4, 4);
        auto* picture = new EmfPicture(page);
        picture->setObjectName(QStringLiteral("Image%1").arg(p + 1));
        // The SDIP drawing is tall and narrow: it is shrunk to fit but never blown up.
        picture->setScaleUp(p != 5);
        layout->addWidget(picture);
        pageControl1_->addTab(page, QString::fromLatin1(kPackagePages[p]));
        pageControl1_->setTabVisible(p, false);
        pages_[static_cast<std::size_t>(p)] = page;
        pictures_[static_cast<std::size_t>(p)] = picture;
    }
    // In place of the pages while there is none to show, a line saying why.
    emptyNote_ = new QLabel(
        QStringLiteral("Choose a device with the Device ID button to see its package drawings."));
    emptyNote_->setObjectName("EmptyNote");
    emptyNote_->setAlignment(Qt::AlignCenter);
    emptyNote_->setWordWrap(true);
    emptyNote_->setMargin(24);
    stack_ = new QStackedWidget(this);
    stack_->addWidget(pageControl1_);
    stack_->addWidget(emptyNote_);
    stack_->setCurrentWidget(emptyNote_);
    setCentralWidget(stack_);

    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName("StatusBar1");
    setStatusBar(statusBar1_);

    current_.assign(8, std::string());
    connect(pageControl1_, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
}

void TDPView1::setShowPackageActions(QAction* open, QAction* close) {
    showPackageOpen_ = open;
    showPackageClose_ = close;
}

void TDPView1::ShowDrawings(const std::vector<std::string>& list) {
    for (int p = 0; p < kPages; ++p) pageControl1_->setTabVisible(p, false);
    const auto entry = [&list](std::size_t i) { return i < list.size() ? list[i] : std::string(); };
    if (entry(0).empty()) {
        // No page is offered; nothing of an earlier device stays in view.
        emptyNote_->setText(QStringLiteral("No package drawing was found for this device."));
        stack_->setCurrentWidget(emptyNote_);
        statusBar1_->clearMessage();
        return;
    }
    int firstVisible = -1;
    for (int p = 0; p < kPages; ++p) {
        const std::size_t e = static_cast<std::size_t>(p) + 1;
        const std::string file = entry(e);
        if (file.empty()) continue;
        if (file != current_[e])
            (void)pictures_[static_cast<std::size_t>(p)]->load(
                QString::fromStdString(entry(0) + file));
        pageControl1_->setTabVisible(p, true);
        if (firstVisible < 0) firstVisible = p;
    }
    current_.assign(8, std::string());
    for (std::size_t i = 0; i < 8; ++i) current_[i] = entry(i);
    stack_->setCurrentWidget(firstVisible >= 0 ? static_cast<QWidget*>(pageControl1_) : emptyNote_);
    // A hidden page is not shown: the first page of the device becomes the active one.
    if (firstVisible >= 0 && !pageControl1_->isTabVisible(pageControl1_->currentIndex()))
        pageControl1_->setCurrentIndex(firstVisible);
    updateStatusBar();
}

void TDPView1::PageControl1Change() { updateStatusBar(); }

void TDPView1::updateStatusBar() {
    const int p = pageControl1_->currentIndex();
    if (p < 0 || !pageControl1_->isTabVisible(p)) return;
    statusBar1_->showMessage(
        QString::fromStdString(current_[0] + current_[static_cast<std::size_t>(p) + 1]));
}

// Positions and sizes are those of the outer frame, as for the program's other windows.
PackageViewGeometry TDPView1::GetGeometry() const {
    const QRect outer = OuterGeometry(this);
    return {outer.left(), outer.top(), outer.height(), outer.width(), isVisible()};
}

void TDPView1::SetGeometry(const PackageViewGeometry& g) {
    const QRect outer(g.left, g.top, g.width, g.height);
    if (g.visible) {
        ShowPlaced(this, outer);
    } else {
        PlaceByFrame(this, outer);
        close();
    }
}

void TDPView1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormShow();
}

void TDPView1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TDPView1::FormShow() {
    if (showPackageOpen_ != nullptr) showPackageOpen_->trigger();
}

void TDPView1::FormClose() {
    if (showPackageClose_ != nullptr) showPackageClose_->trigger();
}

}  // namespace jqz
