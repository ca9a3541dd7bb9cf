// Trust on first use: the fingerprint read aloud, the question, what the run
// remembers of the answers, and the line shown in the status bar.
#include "link/remote/tls_trust.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/line/line_in_use.h"

namespace zep8 {
namespace {

const std::string kHex =
    "3f2a91c01b2c3d4e5f60718293a4b5c6d7e8f9012345678"
    "9abcdef0123456789";

TEST(TlsTrust, FingerprintInGroupsOfFourForReadingAloud) {
    EXPECT_EQ(GroupedFingerprint(kHex),
              "3F2A 91C0 1B2C 3D4E 5F60 7182 93A4 B5C6\n"
              "D7E8 F901 2345 6789 ABCD EF01 2345 6789");
    EXPECT_EQ(GroupedFingerprint(kHex, 0).size(), 64u + 15u);
    EXPECT_EQ(GroupedFingerprint("abcdef"), "ABCD EF");
}

TEST(TlsTrust, QuestionTellsTheWholeCertificate) {
    const CertificateFacts facts{"plc-hall:7002", "CN=plc-hall", "CN=plc-hall", "01.12.2026",
                                 "01.12.2027",    kHex,          true};
    const std::string text = TrustQuestionText(facts);
    for (const std::string& part : std::vector<std::string>{
             "Сервер plc-hall:7002 предъявил сертификат", "(он самоподписан)",
             "Кому выдан: CN=plc-hall\n", "Кем выдан: CN=plc-hall\n",
             "Действует: с 01.12.2026 по 01.12.2027\n", GroupedFingerprint(kHex)}) {
        EXPECT_NE(text.find(part), std::string::npos) << part;
    }
}

TEST(TlsTrust, OnlyAnAskerTrustsAndTheRunRemembersTheAnswers) {
    const CertificateFacts facts{"Plc-Hall:7002", "CN=x", "CN=x", "", "", kHex, true};
    // The terminal: nobody asked, refused; its texts name the options.
    EXPECT_EQ(AskTrust(facts), TrustAnswer::Refuse);
    EXPECT_EQ(TlsFieldName(TlsField::Ca), "--tls-ca");

    int asked = 0;
    TrustAnswer next = TrustAnswer::Refuse;
    SetCertificateAsker([&](const CertificateFacts&) {
        ++asked;
        return next;
    });
    EXPECT_TRUE(OperatorAsked());
    EXPECT_EQ(TlsFieldName(TlsField::Ca), "«Сертификат центра» в окне «Сервер»");
    EXPECT_EQ(AskTrust(facts), TrustAnswer::Refuse);
    EXPECT_EQ(AskTrust(facts), TrustAnswer::Refuse);  // not asked again in this run
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(WithSessionTrust({}, "plc-hall:7002").fingerprint, "");

    ForgetRefusedCertificates();  // the operator asks for the link again
    next = TrustAnswer::Once;
    EXPECT_EQ(AskTrust(facts), TrustAnswer::Once);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(WithSessionTrust({"ca.pem", "", "", ""}, "PLC-HALL:7002").fingerprint, kHex);
    // A pin of the settings stands: a changed certificate is refused, not trusted.
    EXPECT_EQ(WithSessionTrust({"", std::string(64, 'e'), "", ""}, "plc-hall:7002").fingerprint,
              std::string(64, 'e'));
    EXPECT_EQ(WithSessionTrust({}, "other:7002").fingerprint, "");

    SetCertificateAsker(nullptr);
    ForgetSessionTrust();
    EXPECT_EQ(WithSessionTrust({}, "plc-hall:7002").fingerprint, "");
}

TEST(LineInUse, StatusBarText) {
    EXPECT_EQ(LineInUseText({}), "");
    EXPECT_EQ(LineInUseText({"rfc2217+tls://plc-hall:7002", "TLSv1.3", true}),
              "rfc2217+tls://plc-hall:7002, TLS 1.3");
    EXPECT_EQ(LineInUseText({"ttyUSB0", "", true}), "ttyUSB0");
    EXPECT_EQ(LineInUseText({"tcp://gw:4001", "", false}), "tcp://gw:4001, нет связи");
}

}  // namespace
}  // namespace zep8
