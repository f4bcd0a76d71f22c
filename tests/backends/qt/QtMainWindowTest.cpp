#include "backends/qt/QtMainWindow.h"
#include "FakeNetwork.h"
#include "FakeShell.h"
#include "FakeSockets.h"
#include "FakeWindow.h"
#include "RecordingSink.h"
#include "core/main_window/MainWindowDescription.h"
#include "core/main_window/frmPrincipal.h"

#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

using namespace vexor;

namespace {

using fakes::RecordingSink;

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

} // namespace

class QtMainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QApplication::setStyle(QStringLiteral("Windows"));
        LoadApplicationFonts();
        // Qt lays out in 96-dpi pixels and scales the whole window on a denser
        // screen; the suite also runs with a scale of 1.25 (120 dpi).
        QCOMPARE(QtMainWindow::ScreenDpi(), 96);
    }

    void controlsStandWhereTheDescriptionPutsThem() {
        QtMainWindow window(kMainWindow);
        QCOMPARE(window.windowTitle(), QStringLiteral("Vexor Moralto - v2.5"));
        const int dpi = QtMainWindow::ScreenDpi();
        const auto px = [dpi](int twips) { return TwipsToPixels(twips, dpi); };
        QCOMPARE(window.size(), QSize(px(6900), px(3780)));
        for (const ControlSpec& entry : kMainWindow.controls) {
            const QWidget* widget = window.control(entry.name);
            QVERIFY2(widget != nullptr, entry.name.data());
            const QRect expected(px(entry.left), px(entry.top), px(entry.width), px(entry.height));
            QCOMPARE(widget->geometry(), expected);
            if (dpi == 96) {
                QCOMPARE(widget->geometry(), QRect(entry.left / 15, entry.top / 15,
                                                   entry.width / 15, entry.height / 15));
            }
            const QString parentName = widget->parentWidget() == &window
                                           ? QString()
                                           : widget->parentWidget()->objectName();
            QCOMPARE(parentName, Text(entry.container));
        }
    }

    void captionsAndFonts() {
        QtMainWindow window(kMainWindow);
        for (const ControlSpec& entry : kMainWindow.controls) {
            const QWidget* widget = window.control(entry.name);
            if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
                QCOMPARE(button->text(), Text(entry.caption));
            } else if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
                QCOMPARE(frame->title(), Text(entry.caption));
            } else if (const auto* label = qobject_cast<const QLabel*>(widget)) {
                QCOMPARE(label->text(), Text(entry.caption));
                QVERIFY(label->wordWrap());
            }
            const QFontInfo font(widget->font());
            QCOMPARE(font.bold(), entry.font.bold);
            QCOMPARE(widget->font().pointSizeF(), entry.font.points);
            if (entry.font.face == "Tahoma") {
                QCOMPARE(font.family(), QStringLiteral("Tahoma"));
            }
        }
        QVERIFY(QFontInfo(window.control("lstIPRede")->font()).fixedPitch());
        QVERIFY(!QFontInfo(window.control("lstIPS")->font()).fixedPitch());
        // The instruction needs two lines of the label's width, and they fit its height.
        const auto* label = qobject_cast<const QLabel*>(window.control("rtlIPRede"));
        const int lineHeight = QFontMetrics(label->font()).height();
        const int wrapped = label->heightForWidth(label->width());
        QVERIFY2(wrapped > lineHeight && wrapped < 3 * lineHeight,
                 qPrintable(QString::number(wrapped)));
        QVERIFY(wrapped <= label->height());
    }

    void scalesWithTheScreen() {
        QtMainWindow window(kMainWindow);
        window.show();
        const qreal ratio = window.devicePixelRatioF();
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
            QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
        }
        const QPixmap shot = window.grab();
        QCOMPARE(shot.size(), QSize(qRound(460 * ratio), qRound(252 * ratio)));
        // Text grows with the window: the instruction still wraps onto two lines
        // that fit the label.
        const auto* label = qobject_cast<const QLabel*>(window.control("rtlIPRede"));
        QVERIFY(label->heightForWidth(label->width()) <= label->height());
    }

    void windowCannotBeResized() {
        QtMainWindow window(kMainWindow);
        window.show();
        const QSize fixed = window.size();
        window.resize(800, 600);
        QCOMPARE(window.size(), fixed);
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void focusStartsOnSairAndTabFollowsTheTabIndex() {
        QtMainWindow window(kMainWindow);
        window.control("lstIPRede")->hide();
        window.showCentred();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_COMPARE(QApplication::focusWidget(), window.control("btnSair"));
        const char* order[] = {"btnAjuda",     "txtIPS",      "lstIPS",
                               "btnAtualizar", "btnImprimir", "btnSair"};
        for (const char* name : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
        }
        // Once shown, the network list takes its place between the frames' controls.
        window.control("lstIPRede")->show();
        window.control("lstIPS")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("lstIPRede"));
    }

    void accessKeysClickTheirButtons() {
        const struct {
            Qt::Key key;
            const char* click;
        } cases[] = {{Qt::Key_I, "click:btnImprimir"},
                     {Qt::Key_A, "click:btnAjuda"},
                     {Qt::Key_S, "click:btnSair"}};
        for (const auto& c : cases) {
            QtMainWindow window(kMainWindow);
            RecordingSink sink;
            window.setEventSink(&sink);
            window.showCentred();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(QApplication::focusWidget(), c.key, Qt::AltModifier);
            QTRY_COMPARE(sink.count(c.click), 1);
            QCOMPARE(sink.count("click:btnAtualizar"), 0);
            QCOMPARE(sink.count("unload"), 0);
        }
    }

    void spaceClicksTheFocusedSairAndNoAltKeyClicksAtualizar() {
        QtMainWindow window(kMainWindow);
        RecordingSink sink;
        window.setEventSink(&sink);
        window.showCentred();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_COMPARE(QApplication::focusWidget(), window.control("btnSair"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(sink.count("click:btnSair"), 1);
        // Alt with every letter and digit, from the focused control.
        for (int key = Qt::Key_0; key <= Qt::Key_Z; ++key) {
            if (key > Qt::Key_9 && key < Qt::Key_A) {
                continue;
            }
            QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key),
                            Qt::AltModifier);
        }
        // An access key clicks its button after a short press animation.
        QTRY_COMPARE(sink.count("click:btnImprimir"), 1);
        QTRY_COMPARE(sink.count("click:btnAjuda"), 1);
        QTRY_COMPARE(sink.count("click:btnSair"), 2);
        QCOMPARE(sink.count("click:btnAtualizar"), 0);
    }

    void f5FromEveryControlReachesTheWindowOnce() {
        QtMainWindow window(kMainWindow);
        RecordingSink sink;
        window.setEventSink(&sink);
        window.showCentred();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const struct {
            Qt::KeyboardModifiers modifiers;
            const char* event;
        } keys[] = {{Qt::NoModifier, "key:116:0"},
                    {Qt::ShiftModifier, "key:116:1"},
                    {Qt::ControlModifier, "key:116:2"},
                    {Qt::AltModifier, "key:116:4"}};
        for (const char* name : {"btnSair", "btnAjuda", "txtIPS", "lstIPS", "lstIPRede",
                                 "btnAtualizar", "btnImprimir"}) {
            QWidget* control = window.control(name);
            control->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), control);
            for (const auto& key : keys) {
                sink.events.clear();
                QTest::keyClick(control, Qt::Key_F5, key.modifiers);
                QCOMPARE(sink.events, std::vector<std::string>{key.event});
            }
        }
    }

    // F5 held down repeats, and presses and clicks made while a refresh kept
    // the window busy wait in the queue: none of them runs another refresh.
    void heldOrQueuedInputNeverRunsAnotherRefresh() {
        QtMainWindow window(kMainWindow);
        std::uint32_t now = 10000;
        window.setClock([&now] { return now; });
        // Each handler takes four seconds of the window's clock.
        struct SlowSink : RecordingSink {
            std::uint32_t* now = nullptr;
            void KeyDown(std::uint16_t& keyCode, int shiftState) override {
                RecordingSink::KeyDown(keyCode, shiftState);
                *now += 4000;
            }
            void Click(std::string_view control) override {
                RecordingSink::Click(control);
                *now += 4000;
            }
        } sink;
        sink.now = &now;
        window.setEventSink(&sink);
        window.showCentred();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWidget* focus = window.control("btnSair");
        focus->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), focus);
        QWidget* refresh = window.control("btnAtualizar");
        const QPointF inside(refresh->width() / 2.0, refresh->height() / 2.0);

        enum Kind { F5, HeldF5, Click };
        const struct {
            const char* what;
            Kind kind;
            ulong stamp;
            std::vector<std::string> events;
        } steps[] = {
            {"F5 held down", HeldF5, 1000, {}},
            {"F5", F5, 1000, {"key:116:0"}},
            {"F5 pressed during that refresh", F5, 2000, {}},
            {"a click during that refresh", Click, 4900, {}},
            {"F5 held down after it", HeldF5, 5100, {}},
            {"F5 after it", F5, 5100, {"key:116:0"}},
            {"a click during the second refresh", Click, 8900, {}},
            {"a click after it", Click, 9200, {"click:btnAtualizar"}},
            {"F5 during the click's refresh", F5, 12900, {}},
        };
        for (const auto& step : steps) {
            sink.events.clear();
            if (step.kind == Click) {
                for (const QEvent::Type type :
                     {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                    QMouseEvent event(type, inside, refresh->mapToGlobal(inside), Qt::LeftButton,
                                      type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                       : Qt::NoButton,
                                      Qt::NoModifier);
                    event.setTimestamp(step.stamp);
                    QApplication::sendEvent(refresh, &event);
                }
            } else {
                QKeyEvent event(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier, QString(),
                                step.kind == HeldF5);
                event.setTimestamp(step.stamp);
                QApplication::sendEvent(focus, &event);
            }
            QCOMPARE(sink.events, step.events);
        }
        window.setEventSink(nullptr);
    }

    void closingRunsUnloadOnce() {
        QtMainWindow window(kMainWindow);
        RecordingSink sink;
        window.setEventSink(&sink);
        window.showCentred();
        QVERIFY(window.close());
        QCOMPARE(sink.events, std::vector<std::string>{"unload"});
    }

    void loadAndRefreshThroughTheRealWindow() {
        QtMainWindow window(kMainWindow);
        fakes::FakeSockets sockets;
        sockets.hostsByName["estacao01"] = {"estacao01", {{192, 0, 2, 10}, {192, 0, 2, 11}}};
        sockets.hostsByName["ALFA"] = {"alfa", {{10, 0, 0, 5}}};
        fakes::FakeNetwork network({fakes::Provider(
            "Rede",
            {fakes::Domain("GRUPO", {fakes::Server("\\\\ALFA"), fakes::Server("\\\\BETA")})})});
        fakes::FakeShell shell;
        fakes::FakeToolkit toolkit;
        frmPrincipal form(PlatformServices{sockets, network, shell, toolkit}, window.controls());
        window.setEventSink(&form);

        form.Load();
        window.showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto* list = qobject_cast<QListWidget*>(window.control("lstIPRede"));
        const auto* local = qobject_cast<QListWidget*>(window.control("lstIPS"));
        QVERIFY(!list->isVisible());
        QVERIFY(window.control("rtlIPRede")->isVisible());
        QCOMPARE(qobject_cast<QLineEdit*>(window.control("txtIPS"))->text(),
                 QStringLiteral("ESTACAO01"));
        QCOMPARE(local->count(), 2);

        window.control("btnSair")->setFocus();
        QTest::keyClick(window.control("btnSair"), Qt::Key_F5);
        QVERIFY(list->isVisible());
        QVERIFY(!window.control("rtlIPRede")->isVisible());
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("ALFA                10.0.0.5"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("BETA                "));
        QCOMPARE(local->count(), 2);

        qobject_cast<QPushButton*>(window.control("btnAtualizar"))->click();
        QCOMPARE(list->count(), 2);
        window.setEventSink(nullptr);
    }

    void listBoxRefusesLinesPastItsLimit() {
        QListWidget widget;
        QtListBox list(widget);
        for (int i = 0; i < kMaxListLines; ++i) {
            list.AddItem("x");
        }
        QCOMPARE(list.count(), static_cast<std::int16_t>(kMaxListLines));
        QVERIFY_THROWS_EXCEPTION(ListFullError, list.AddItem("um a mais"));
        list.setItem(kMaxListLines - 1, "último");
        QCOMPARE(list.item(kMaxListLines - 1), std::string("último"));
    }

    void virtualKeys() {
        QCOMPARE(VirtualKeyOf(Qt::Key_F5), std::uint16_t{116});
        QCOMPARE(VirtualKeyOf(Qt::Key_F1), std::uint16_t{112});
        QCOMPARE(VirtualKeyOf(Qt::Key_S), std::uint16_t{'S'});
        QCOMPARE(VirtualKeyOf(Qt::Key_Return), std::uint16_t{13});
        QCOMPARE(VirtualKeyOf(Qt::Key_Shift), std::uint16_t{0});
    }
};

QTEST_MAIN(QtMainWindowTest)
#include "QtMainWindowTest.moc"
