// Encrypted remote lines: ser2net serving the virtual module over TLS, with a
// key and self-signed certificates the test makes with openssl, and a relay
// in front that counts the program's connections.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/counting_proxy.h"
#include "support/ser2net_server.h"
#include "support/zep8_process.h"

namespace zep8 {
namespace {

using testing::Has;

class TlsLineProcess : public testing::ProcessTest {
  protected:
    void SetUp() override {
        ProcessTest::SetUp();
        if (IsSkipped()) return;
        if (!testing::Ser2net::Available() || std::system("openssl version > /dev/null") != 0)
            GTEST_SKIP() << "ser2net or openssl is not installed";
        MakeCertificate("server", "/CN=localhost", "DNS:localhost,IP:127.0.0.1");
        MakeCertificate("stranger", "/CN=localhost", "DNS:localhost,IP:127.0.0.1");
        MakeCertificate("misnamed", "/CN=gateway", "DNS:plant-gw.example");
        MakeCertificate("engineer", "/CN=engineer", "DNS:engineer");
        const std::string allowed = File("auth/engineer/allowed_certs");
        std::filesystem::create_directories(allowed);
        std::filesystem::copy_file(File("engineer.pem"), allowed + "/engineer.pem");
        Shell("openssl rehash '" + allowed + "'");
        pty = StartSimulator({"--baud", "38400", "--address", "40"});
    }
    void TearDown() override {
        server.Stop();
        ProcessTest::TearDown();
    }

    void Shell(const std::string& command) {
        ASSERT_EQ(std::system((command + " > /dev/null 2>&1").c_str()), 0) << command;
    }
    void MakeCertificate(const std::string& name, const std::string& subject,
                         const std::string& names) {
        Shell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
              "-keyout '" + File((name + ".key").c_str()) + "' -out '" +
              File((name + ".pem").c_str()) + "' -subj '" + subject +
              "' -addext 'subjectAltName=" + names + "'");
    }
    std::string Fingerprint(const std::string& name) {
        const std::string command = "openssl x509 -noout -fingerprint -sha256 -in '" +
                                    File((name + ".pem").c_str()) + "' > '" +
                                    File("fingerprint") + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        const std::string line = testing::ReadWhole(File("fingerprint"));
        return line.substr(line.find('=') + 1, 95);
    }
    // ser2net with `certificate` (its .pem and .key) at 9600: the program's
    // speed must reach it through the encrypted connection.
    std::string StartServer(const std::string& certificate, bool clientAuth = false) {
        const std::string ssl = "key=" + File((certificate + ".key").c_str()) +
                                ",cert=" + File((certificate + ".pem").c_str()) +
                                (clientAuth ? ",clientauth" : "");
        const std::string url = server.Start(pty, "rfc2217", "9600n81", ssl,
                                             clientAuth ? "authdir: " + File("auth") : "");
        proxy = std::make_unique<testing::CountingProxy>(server.port());
        return "rfc2217+tls://127.0.0.1:" + std::to_string(proxy->port());
    }
    std::string Read(const std::string& url, const std::string& tls) {
        return "--port=" + url + " " + tls + " /bps:38400/addr:40/read/close '" + File("f.zep") +
               "'";
    }

    std::string pty;
    testing::Ser2net server;
    std::unique_ptr<testing::CountingProxy> proxy;
};

TEST_F(TlsLineProcess, ReadsWithTheCaOrAPinnedFingerprintOnOneConnectionPerRun) {
    const std::string url = StartServer("server");
    const auto read = Run(Read(url, "--tls-ca='" + File("server.pem") + "'"));
    EXPECT_EQ(read.code, 0) << read.err;
    EXPECT_TRUE(Has(read.err, "параметров: 84 (с ошибками 0)")) << read.err;
    EXPECT_EQ(proxy->connections(), 1);

    // The CA given once is kept for the server.
    EXPECT_EQ(Run("--port=" + url + " /bps:38400/addr:40/test").code, 0);
    EXPECT_EQ(proxy->connections(), 2);

    // A doctor from the defaults (9600 baud, address 16) sweeps on one connection.
    std::filesystem::remove_all(dir / "config");
    const auto doctor = Run("--doctor --port=" + url + " --tls-fingerprint=" + Fingerprint("server"));
    EXPECT_EQ(doctor.code, 0) << doctor.out << doctor.err;
    EXPECT_TRUE(Has(doctor.out, "Шифрование: TLSv1.")) << doctor.out;
    EXPECT_TRUE(Has(doctor.out, "сертификат сервера CN=localhost, действует до ")) << doctor.out;
    EXPECT_TRUE(Has(doctor.out, "  скорость: 9600 -> 38400")) << doctor.out;
    EXPECT_EQ(proxy->connections(), 3);
}

TEST_F(TlsLineProcess, AServerItCannotTrustIsNamedWith201) {
    std::string url = StartServer("server");
    const auto stranger = Run(Read(url, "--tls-ca='" + File("stranger.pem") + "'"));
    EXPECT_EQ(stranger.code, 201);
    EXPECT_TRUE(Has(stranger.err, "(CN=localhost) не заверен доверенным центром сертификации"))
        << stranger.err;
    const auto pinned = Run(Read(url, "--tls-fingerprint=" + Fingerprint("stranger")));
    EXPECT_EQ(pinned.code, 201);
    EXPECT_TRUE(Has(pinned.err, "(SHA-256 " + Fingerprint("server") + ") не совпадает с заданным (" +
                                    Fingerprint("stranger") + ")"))
        << pinned.err;
    // Every retry of the jobs answered from the refusal: one handshake a run.
    EXPECT_EQ(proxy->connections(), 2);

    url = StartServer("misnamed");
    const auto misnamed = Run(Read(url, "--tls-ca='" + File("misnamed.pem") + "'"));
    EXPECT_EQ(misnamed.code, 201);
    EXPECT_TRUE(Has(misnamed.err, "выдан не для имени 127.0.0.1: в нём имена plant-gw.example"))
        << misnamed.err;
    EXPECT_FALSE(std::filesystem::exists(File("f.zep")));
}

TEST_F(TlsLineProcess, AServerThatWantsAClientCertificateGetsOne) {
    const std::string url = StartServer("server", true);
    const std::string ca = "--tls-ca='" + File("server.pem") + "'";
    const auto without = Run(Read(url, ca));
    EXPECT_EQ(without.code, 201);
    EXPECT_TRUE(Has(without.err, "требует сертификат клиента")) << without.err;
    const auto with = Run(Read(url, ca + " --tls-cert='" + File("engineer.pem") + "' --tls-key='" +
                                        File("engineer.key") + "'"));
    EXPECT_EQ(with.code, 0) << with.err;
    EXPECT_TRUE(Has(with.err, "параметров: 84 (с ошибками 0)")) << with.err;

    // A key others may read still serves, with a warning; a key under a
    // password is refused in words, never asked for on the terminal.
    const std::string key = File("engineer.key"), locked = File("locked.key");
    std::filesystem::permissions(key, std::filesystem::perms(0644));
    const auto exposed = Run(Read(url, ca + " --tls-cert='" + File("engineer.pem") + "' --tls-key='" +
                                           key + "'"));
    EXPECT_EQ(exposed.code, 0) << exposed.err;
    EXPECT_TRUE(Has(exposed.err, "предупреждение: файл ключа клиента " + key)) << exposed.err;
    Shell("openssl pkey -in '" + key + "' -aes256 -passout pass:secret -out '" + locked + "'");
    const auto asked = Run(Read(url, ca + " --tls-cert='" + File("engineer.pem") + "' --tls-key='" +
                                         locked + "'"));
    EXPECT_EQ(asked.code, 201);
    EXPECT_TRUE(Has(asked.err, "не содержит ключа клиента в формате PEM (без пароля)")) << asked.err;
}

}  // namespace
}  // namespace zep8
