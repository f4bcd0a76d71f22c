#include "QtMainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "vexormoralto-16.xpm"
#include "vexormoralto-32.xpm"

namespace vexor {
namespace {

QFont FontOf(const FontSpec& entry) {
    QFont font(QString::fromUtf8(entry.face.data(), static_cast<int>(entry.face.size())));
    font.setPointSizeF(entry.points);
    font.setWeight(entry.bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(entry.face == "Courier New" ? QFont::TypeWriter : QFont::SansSerif);
    if (entry.face == "Courier New") {
        font.setFixedPitch(true);
    }
    return font;
}

QString TextOf(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

std::unique_ptr<QWidget> Create(const ControlSpec& entry, QWidget* parent) {
    switch (entry.kind) {
    case ControlKind::Button: {
        auto button = std::make_unique<QPushButton>(TextOf(entry.caption), parent);
        button->setAutoDefault(false);
        return button;
    }
    case ControlKind::Frame: {
        auto frame = std::make_unique<QGroupBox>(TextOf(entry.caption), parent);
        frame->setFocusPolicy(Qt::NoFocus);
        return frame;
    }
    case ControlKind::ListBox: {
        auto list = std::make_unique<QListWidget>(parent);
        list->setSortingEnabled(false);
        list->setUniformItemSizes(true);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        return list;
    }
    case ControlKind::Label: {
        auto label = std::make_unique<QLabel>(TextOf(entry.caption), parent);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::TextBox: {
        auto edit = std::make_unique<QLineEdit>(TextOf(entry.caption), parent);
        // The box shows what the program found; the user may select and copy it.
        edit->setReadOnly(true);
        return edit;
    }
    }
    return nullptr;
}

int ShiftStateOf(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? shift::kShift : 0) |
           (modifiers & Qt::ControlModifier ? shift::kCtrl : 0) |
           (modifiers & Qt::AltModifier ? shift::kAlt : 0);
}

} // namespace

std::uint16_t VirtualKeyOf(int qtKey) {
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return static_cast<std::uint16_t>(112 + (qtKey - Qt::Key_F1));
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        return static_cast<std::uint16_t>(qtKey);
    }
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    default:
        return 0;
    }
}

void LoadApplicationFonts() {
    // fontconfig does not scan Wine's font folder. Only the regular face is
    // loaded: the bold file's outlines are regular, and Qt emboldens it well.
    const QString tahoma = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
    if (QFile::exists(tahoma)) {
        QFontDatabase::addApplicationFont(tahoma);
    }
}

void UseFontByDefault(const FontSpec& font) {
    QApplication::setFont(FontOf(font));
}

int QtMainWindow::ScreenDpi() {
    // The dots per inch the fonts are drawn at: twips scaled by the same figure
    // keep every text inside its control, whatever the desktop's setting.
    QFont inch;
    inch.setPointSizeF(72);
    return QFontInfo(inch).pixelSize();
}

QtMainWindow::QtMainWindow(const WindowDescription& description, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      clock_([] {
          return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now().time_since_epoch())
                                                .count());
      }) {
    Build(description);
    qApp->installEventFilter(this);
}

QtMainWindow::~QtMainWindow() {
    qApp->removeEventFilter(this);
    // Children go before the frames that hold them, so no widget is deleted twice.
    while (!widgets_.empty()) {
        widgets_.pop_back();
    }
}

void QtMainWindow::Build(const WindowDescription& description) {
    const int dpi = ScreenDpi();
    const auto px = [dpi](int twips) { return TwipsToPixels(twips, dpi); };
    setWindowTitle(TextOf(description.caption));
    setFont(FontOf(description.font));
    setFixedSize(px(description.clientWidth), px(description.clientHeight));
    QIcon icon;
    icon.addPixmap(QPixmap(vexormoralto_32_xpm));
    icon.addPixmap(QPixmap(vexormoralto_16_xpm));
    setWindowIcon(icon);

    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const ControlSpec& entry : description.controls) {
        QWidget* container =
            entry.container.empty() ? this : controls_.at(std::string(entry.container));
        widgets_.push_back(Create(entry, container));
        QWidget* widget = widgets_.back().get();
        widget->setObjectName(TextOf(entry.name));
        widget->setFont(FontOf(entry.font));
        widget->setGeometry(px(entry.left), px(entry.top), px(entry.width), px(entry.height));
        controls_.emplace(std::string(entry.name), widget);
        if (widget->focusPolicy() != Qt::NoFocus && entry.kind != ControlKind::Label) {
            tabOrder.emplace_back(entry.tabIndex, widget);
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            const std::string name(entry.name);
            connect(button, &QPushButton::clicked, this,
                    [this, name] { Deliver([this, &name] { sink_->Click(name); }); });
        }
    }
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    }
    firstInTabOrder_ = tabOrder.empty() ? nullptr : tabOrder.front().second;

    txtIPS_ = std::make_unique<QtTextBox>(*qobject_cast<QLineEdit*>(controls_.at("txtIPS")));
    lstIPS_ = std::make_unique<QtListBox>(*qobject_cast<QListWidget*>(controls_.at("lstIPS")));
    lstIPRede_ =
        std::make_unique<QtListBox>(*qobject_cast<QListWidget*>(controls_.at("lstIPRede")));
    rtlIPRede_ = std::make_unique<QtLabel>(*qobject_cast<QLabel*>(controls_.at("rtlIPRede")));
}

FormControls QtMainWindow::controls() {
    return FormControls{*txtIPS_, *lstIPS_, *lstIPRede_, *rtlIPRede_};
}

QWidget* QtMainWindow::control(std::string_view name) const {
    const auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

void QtMainWindow::Centre() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void QtMainWindow::showCentred() {
    Centre();
    show();
    if (firstInTabOrder_ != nullptr) {
        firstInTabOrder_->setFocus(Qt::OtherFocusReason);
    }
    // The frame's size is known only once the window manager has decorated the
    // window, so the window is centred again shortly after it appears.
    QTimer::singleShot(50, this, [this] { Centre(); });
}

template <typename Handler> void QtMainWindow::Deliver(Handler handler) {
    if (sink_ != nullptr) {
        handler();
        staleInput_.HandlerEnded(clock_());
    }
}

bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool press = type == QEvent::KeyPress || type == QEvent::ShortcutOverride ||
                       type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
                       type == QEvent::MouseButtonRelease;
    if (!press || !watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this) {
        return QWidget::eventFilter(watched, event);
    }
    // A press or a click made while a handler kept the window busy is dropped,
    // so F5 pressed again during a refresh does not queue another. Input made
    // up by the program itself carries no stamp and counts as new.
    const auto* input = static_cast<QInputEvent*>(event);
    if (input->timestamp() != 0 &&
        staleInput_.Stale(static_cast<std::uint32_t>(input->timestamp()), clock_())) {
        // An accepted override keeps an access key from clicking its button.
        event->accept();
        return true;
    }
    // Key preview: the window sees a key before the control that has the focus.
    // A key the control ignores travels on to its parents; only its first
    // delivery counts. A key held down repeats, but never the refresh.
    if (type == QEvent::KeyPress && sink_ != nullptr) {
        auto* widget = static_cast<QWidget*>(watched);
        const QWidget* focus = QApplication::focusWidget();
        const bool firstDelivery = widget == focus || (focus == nullptr && widget == this);
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (firstDelivery && !key->isAutoRepeat()) {
            std::uint16_t code = VirtualKeyOf(key->key());
            if (code != 0) {
                Deliver([&] { sink_->KeyDown(code, ShiftStateOf(key->modifiers())); });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    std::int16_t cancel = 0;
    if (sink_ != nullptr) {
        sink_->Unload(cancel);
    }
    if (cancel != 0) {
        event->ignore();
    } else {
        event->accept();
    }
}

} // namespace vexor
