// An operator adds an encrypted RFC 2217 server in the port set-up: ser2net
// with TLS and a self-signed certificate (made here by openssl) in front of
// the virtual module. The trust question comes, "Доверять этому серверу" pins
// the certificate, every parameter is read over the line, and the server is in
// the port list after a restart from the same settings file. Then the server's
// certificate changes: refused, with both fingerprints.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "app/application.h"
#include "app/preferences.h"
#include "app/qsettings_store.h"
#include "link/remote/tls_trust.h"
#include "model/catalogue.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_line.h"
#include "support/ser2net_server.h"
#include "ui/dialogs/server_dialog.h"
#include "ui/dialogs/setup_carrier.h"
#include "ui/frame/command_table.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/window_session.h"
#include "ui/ui_test_main.h"
#include "ui/when_shown.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;

// One run of the program with its window over the settings file `ini`, read
// anew for every run as a new start of the program would.
struct IniWindowRun {
    explicit IniWindowRun(const std::string& ini) : store(ini), env{out, err, store, ""} {}
    ~IniWindowRun() {
        session.reset();
        run.reset();
    }
    bool Start() {
        processState().reset();
        run = std::make_unique<RunContext>(ParseCommandLine({}), env);
        if (run->Prepare() != kRunGoesOn) return false;
        session = std::make_unique<WindowSession>(*run, prompter);
        return session->Start();
    }
    CMainFrame& frame() { return session->frame(); }
    Device& device() { return session->document().device(); }
    std::vector<RecordingPrompter::Message> Questions() {
        std::vector<RecordingPrompter::Message> asked;
        for (const auto& m : prompter.messages())
            if (!m.choices.empty()) asked.push_back(m);
        return asked;
    }
    bool Told(const std::string& part) {
        const auto messages = prompter.messages();
        return std::any_of(messages.begin(), messages.end(),
                           [&](const auto& m) { return m.text.find(part) != std::string::npos; });
    }

    QSettingsStore store;
    std::ostringstream out, err;
    RecordingPrompter prompter;
    RunEnvironment env;
    std::unique_ptr<RunContext> run;
    std::unique_ptr<WindowSession> session;
};

using testing::Child;
using testing::WhenShown;

}  // namespace

class ServerTrustTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void addPinReadRestartAndRefuseAChangedCertificate();

  private:
    std::string File(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    bool Shell(const std::string& command) {
        return std::system((command + " > /dev/null 2>&1").c_str()) == 0;
    }
    void MakeCertificate(const std::string& name);
    // The certificate's SHA-256 as openssl tells it, in the program's form.
    std::string Fingerprint(const std::string& name);
    std::string Ssl(const std::string& name) const {
        return "key=" + File(name + ".key") + ",cert=" + File(name + ".pem");
    }

    QTemporaryDir dir_;
};

void ServerTrustTest::initTestCase() {
    if (!testing::Ser2net::Available() || std::system("openssl version > /dev/null") != 0)
        QSKIP("ser2net or openssl is not installed");
    QVERIFY(dir_.isValid());
}

void ServerTrustTest::MakeCertificate(const std::string& name) {
    QVERIFY(
        Shell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
              "-days 2 -keyout '" +
              File(name + ".key") + "' -out '" + File(name + ".pem") +
              "' -utf8 -subj '/CN=plc-hall/O=Цех 3' -addext 'subjectAltName=DNS:plc-hall'"));
}

std::string ServerTrustTest::Fingerprint(const std::string& name) {
    const std::string out = File("fingerprint.txt");
    const std::string command = "openssl x509 -noout -fingerprint -sha256 -in '" +
                                File(name + ".pem") + "' > '" + out + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    return NormalFingerprint(line.substr(line.find('=') + 1, 95)).value_or("");
}

void ServerTrustTest::addPinReadRestartAndRefuseAChangedCertificate() {
    MakeCertificate("server");
    MakeCertificate("impostor");
    const std::string pinned = Fingerprint("server"), impostor = Fingerprint("impostor");
    QVERIFY(pinned.size() == 64 && impostor.size() == 64 && pinned != impostor);

    sim::SimulatedLine line(sim::LineSettings{}, std::vector<int>{16},
                            sim::SimulatedLine::Kind::PseudoTerminal);
    std::string error;
    QVERIFY2(line.start(error), error.c_str());
    testing::Ser2net server;
    server.Start(line.portPath(), "rfc2217", "9600n81", Ssl("server"));
    const std::string name = "rfc2217+tls://127.0.0.1:" + std::to_string(server.port());
    const std::string ini = File("ZEP8.conf");
    {
        // The program's port is gone: the port set-up opens at start.
        QSettingsStore first(ini);
        first.createKey(kProgramKey);
        first.writeString(kProgramKey, "port_name", "/dev/zep8-gone");
    }

    {
        IniWindowRun w(ini);
        w.prompter.scriptChoice(static_cast<int>(TrustAnswer::Pin));
        bool added = false, filled = false;
        const auto setup = WhenShown<CSetupCarrier>([&](CSetupCarrier* dialog) {
            // "Добавить сервер..." opens the "Сервер" window over the set-up.
            QTimer::singleShot(0, Child(dialog, "addServerButton"), &QPushButton::click);
            added = true;
            return true;
        });
        const auto fill = WhenShown<CServerDialog>([&](CServerDialog* dialog) {
            if (dialog->windowTitle() != QStringLiteral("Сервер")) return false;
            auto* tls = Child<QCheckBox>(dialog, "tlsField");
            auto* kind = Child<QComboBox>(dialog, "kindField");
            if (kind->currentIndex() != 0 || Child<QWidget>(dialog, "tlsGroup")->isEnabled())
                return false;
            // An empty host is refused in words; the window stays.
            Child(dialog, "okButton")->click();
            if (w.prompter.messages().empty() ||
                w.prompter.messages().back().text != "Укажите имя или адрес сервера.")
                return false;
            QTest::keyClicks(Child<QLineEdit>(dialog, "hostField"), "127.0.0.1");
            auto* port = Child<QSpinBox>(dialog, "portField");
            port->selectAll();
            QTest::keyClicks(port, QString::number(server.port()));
            tls->click();
            if (!Child<QWidget>(dialog, "tlsGroup")->isEnabled()) return false;
            if (Child<QLabel>(dialog, "nameLabel")->text() !=
                QStringLiteral("Имя порта: ") + QString::fromStdString(name))
                return false;
            filled = true;
            Child(dialog, "okButton")->click();
            return true;
        });
        bool connected = false;
        const auto connect = WhenShown<CSetupCarrier>([&](CSetupCarrier* dialog) {
            if (!filled || Child<QLabel>(dialog, "statusLabel")
                                   ->text()
                                   .indexOf(QStringLiteral("добавлен в список портов")) < 0)
                return false;
            // The port row now names the server, which can be edited and removed.
            if (!Child(dialog, "editServerButton")->isEnabled() ||
                !Child(dialog, "removeServerButton")->isEnabled())
                return false;
            connected = true;
            Child(dialog, "connectButton")->click();
            return true;
        });
        QVERIFY(w.Start());
        QVERIFY(added && filled && connected);

        // The question, once, with the whole certificate; the answer pinned it.
        const auto asked = w.Questions();
        QCOMPARE(asked.size(), std::size_t{1});
        QCOMPARE(asked[0].caption, std::string(kTrustCaption));
        QCOMPARE(asked[0].choices,
                 (std::vector<std::string>{"Доверять этому серверу", "Только сейчас", "Отмена"}));
        for (const std::string& part :
             {std::string("Сервер 127.0.0.1:") + std::to_string(server.port()) +
                  " предъявил сертификат",
              std::string("(он самоподписан)"), std::string("Кому выдан: O=Цех 3,CN=plc-hall"),
              std::string("Кем выдан: O=Цех 3,CN=plc-hall"), std::string("Действует: с "),
              GroupedFingerprint(pinned)}) {
            QVERIFY2(asked[0].text.find(part) != std::string::npos, part.c_str());
        }
        QCOMPARE(Preferences(w.store)
                     .tlsSettings("127.0.0.1:" + std::to_string(server.port()))
                     .fingerprint,
                 pinned);

        // Every parameter over the encrypted line; the status bar names it.
        Device& device = w.device();
        w.frame().RunCommand(ID_READ_ALL);
        for (InvisibleElement* node :
             {static_cast<InvisibleElement*>(&device.commonNode),
              static_cast<InvisibleElement*>(&device.netNode),
              static_cast<InvisibleElement*>(&device.channelsNode.channel(0))}) {
            for (const auto& p : node->parameters()) {
                QVERIFY2(p->value != kNoData && p->errorText.empty(), p->name.c_str());
            }
        }
        auto* status = w.frame().statusBar()->findChild<QLabel*>("lineLabel");
        QVERIFY(status);
        QTRY_VERIFY2(status->text().startsWith(QString::fromStdString(name) + ", TLS 1."),
                     qPrintable(status->text()));
        QCOMPARE(w.Questions().size(), std::size_t{1});
    }
    // The settings file is the operator's alone.
    QCOMPARE(fs::status(ini).permissions() & fs::perms::all,
             fs::perms::owner_read | fs::perms::owner_write);

    {
        // A new start from the same file: the server is in the port list, and
        // its pinned certificate connects without a question.
        IniWindowRun w(ini);
        bool setUp = false;
        const auto unexpected = WhenShown<CSetupCarrier>([&](CSetupCarrier* dialog) {
            setUp = true;
            dialog->reject();
            return true;
        });
        QVERIFY(w.Start());
        QVERIFY(!setUp);
        const std::vector<ServerEntry> kept = Preferences(w.store).keptServers();
        QCOMPARE(kept.size(), std::size_t{1});
        QCOMPARE(kept[0].PortName(), name);
        QCOMPARE(kept[0].trust.fingerprint, pinned);
        const std::vector<std::string> ports = GetDescriptor("Port").items;
        QVERIFY(std::find(ports.begin(), ports.end(), name) != ports.end());
        QCOMPARE(w.device().programNet().GetValue("Port"), name);
        QVERIFY(w.Questions().empty());
    }

    // Someone answers on the server's address with another certificate.
    server.Start(line.portPath(), "rfc2217", "9600n81", Ssl("impostor"), "", server.port());
    {
        IniWindowRun w(ini);
        bool left = false;
        const auto leave = WhenShown<CSetupCarrier>([&](CSetupCarrier* dialog) {
            left = true;
            Child(dialog, "exitButton")->click();
            return true;
        });
        QVERIFY(!w.Start());
        QVERIFY(left);
        QVERIFY(w.Questions().empty());
        QVERIFY2(w.Told("не тот, что закреплён для него"),
                 w.prompter.messages().front().text.c_str());
        QVERIFY(w.Told("Закреплён отпечаток SHA-256:\n" + GroupedFingerprint(pinned)));
        QVERIFY(w.Told("Сервер предъявил:\n" + GroupedFingerprint(impostor)));
        QVERIFY(w.Told("атака «человек посередине»"));
        QCOMPARE(Preferences(w.store)
                     .tlsSettings("127.0.0.1:" + std::to_string(server.port()))
                     .fingerprint,
                 pinned);
    }
    server.Stop();
    line.stop();
}

}  // namespace zep8

ZEP8_UI_TEST(ServerTrustTest, "server_trust_test");
#include "server_trust_test.moc"
