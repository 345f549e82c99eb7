// Pairing and the lockdown session's TLS as a current iPhone runs them, spoken to at the byte
// level with certificates made as libimobiledevice makes them.
#include "daemonfixture.h"
#include "devicekey.h"
#include "hostcredentials.h"
#include "muxconnection.h"
#include "muxframing.h"
#include "plistframing.h"
#include "serviceports.h"
#include "socketio.h"
#include "tlsclient.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace plovik::devemu;
using namespace devemutest;

bool boolItem(plist_t dictionary, const char* key) {
    const plist_t item = plist_dict_get_item(dictionary, key);
    uint8_t value = 0;
    if (plist_get_node_type(item) == PLIST_BOOLEAN) {
        plist_get_bool_val(item, &value);
    }
    return value != 0;
}

Plist getValue(const char* key, const char* domain = nullptr) {
    Plist request = lockdownRequest("GetValue");
    if (key != nullptr) {
        plist_dict_set_item(request.get(), "Key", plist_new_string(key));
    }
    if (domain != nullptr) {
        plist_dict_set_item(request.get(), "Domain", plist_new_string(domain));
    }
    return request;
}

// As lockdownd_pair sends it.
Plist pairRequest(const char* verb, plist_t record) {
    Plist request = lockdownRequest(verb);
    if (record != nullptr) {
        plist_dict_set_item(request.get(), "PairRecord", plist_copy(record));
    }
    plist_dict_set_item(request.get(), "ProtocolVersion", plist_new_string("2"));
    return request;
}

// Made once per run: key generation is the slow part of these tests.
const HostCredentials& host() {
    static const HostCredentials credentials("5A7E1C2B-0D3F-4B6A-8E9C-1F2A3B4C5D6E",
                                             DeviceKey::shared().publicKeyPem());
    return credentials;
}

const HostCredentials& stranger() {
    static const HostCredentials credentials("9B8C7D6E-5F4A-4321-8765-0FEDCBA98765",
                                             DeviceKey::shared().publicKeyPem());
    return credentials;
}

class LockdownSessionTest : public DaemonTest {
protected:
    // A connection to the lockdown port of the device plugged in last.
    std::unique_ptr<MuxConnection> lockdown() {
        auto connection = std::make_unique<MuxConnection>(socketPath());
        EXPECT_EQ(connection->connectTo(nextDeviceId_ - 1, kLockdownPort), kMuxOk);
        return connection;
    }

    // The Error of a Pair with the record, empty on success.
    std::string pair(plist_t record) {
        const Plist reply = lockdown()->lockdown(pairRequest("Pair", record).get());
        return stringItem(reply.get(), "Error");
    }

    Plist startSession(MuxConnection& connection, const std::string& hostId) {
        Plist request = lockdownRequest("StartSession", "HostID", plist_new_string(hostId.c_str()));
        return connection.lockdown(request.get());
    }

    // Whether a session with the client's certificate, versions in [minVersion, maxVersion],
    // carries a request; version is what was negotiated.
    bool sessionWorks(X509* certificate, EVP_PKEY* key, int minVersion, int maxVersion,
                      std::string* version = nullptr) {
        const auto connection = lockdown();
        const Plist started = startSession(*connection, host().hostId());
        EXPECT_TRUE(boolItem(started.get(), "EnableSessionSSL"));
        TlsClient tls(connection->socket(), certificate, key, minVersion, maxVersion);
        if (!tls.handshake()) {
            return false;
        }
        if (version != nullptr) {
            *version = tls.version();
        }
        const Plist reply = tls.exchange(getValue("ProductVersion").get());
        return stringItem(reply.get(), "Value") == "17.1";
    }
};

TEST_F(LockdownSessionTest, PairRecordsAreMissingUntilSavedThenReturnedAsSavedAcrossUnplugging) {
    startDaemon();
    MuxConnection listener(socketPath());
    ASSERT_NE(listener.request("Listen"), nullptr);
    MuxRequest attached;
    ASSERT_TRUE(receiveMuxRequest(listener.socket(), attached));

    const auto recordRequest = [](const char* type) {
        Plist message(plist_new_dict());
        plist_dict_set_item(message.get(), "MessageType", plist_new_string(type));
        plist_dict_set_item(message.get(), "PairRecordID", plist_new_string(kUdid));
        return message;
    };
    const Plist missing =
        MuxConnection(socketPath()).request(recordRequest("ReadPairRecord").get());
    EXPECT_EQ(stringItem(missing.get(), "MessageType"), "Result");
    EXPECT_EQ(uintItem(missing.get(), "Number"), kMuxNoSuchRecord);

    // Binary, with bytes an XML round trip would not keep as they are.
    const std::string record = std::string("bplist00\0\xff record", 17);
    const Plist save = recordRequest("SavePairRecord");
    plist_dict_set_item(save.get(), "PairRecordData", plist_new_data(record.data(), record.size()));
    plist_dict_set_item(save.get(), "DeviceID", plist_new_uint(1));
    EXPECT_EQ(uintItem(MuxConnection(socketPath()).request(save.get()).get(), "Number"), kMuxOk);
    MuxRequest paired;
    ASSERT_TRUE(receiveMuxRequest(listener.socket(), paired));
    EXPECT_EQ(stringItem(paired.body.get(), "MessageType"), "Paired");
    EXPECT_EQ(uintItem(paired.body.get(), "DeviceID"), 1u);

    daemon_->detachAll();
    plugIn();
    const Plist found = MuxConnection(socketPath()).request(recordRequest("ReadPairRecord").get());
    EXPECT_EQ(dataItem(found.get(), "PairRecordData"), record);

    const Plist deleted =
        MuxConnection(socketPath()).request(recordRequest("DeletePairRecord").get());
    EXPECT_EQ(uintItem(deleted.get(), "Number"), kMuxOk);
    const Plist gone = MuxConnection(socketPath()).request(recordRequest("ReadPairRecord").get());
    EXPECT_EQ(uintItem(gone.get(), "Number"), kMuxNoSuchRecord);
}

TEST_F(LockdownSessionTest, AnUnpairedHostLearnsOnlyPublicValuesAndGetsNoSession) {
    startDaemon();
    const auto connection = lockdown();
    const std::string key =
        dataItem(connection->lockdown(getValue("DevicePublicKey").get()).get(), "Value");
    EXPECT_EQ(key.rfind("-----BEGIN RSA PUBLIC KEY-----\n", 0), 0u) << key;
    EXPECT_EQ(stringItem(connection->lockdown(getValue("ProductVersion").get()).get(), "Value"),
              "17.1");
    for (const Plist& prohibited :
         {getValue("SerialNumber"), getValue(nullptr, "com.apple.mobile.battery"),
          getValue("BatteryCurrentCapacity", "com.apple.mobile.battery")}) {
        EXPECT_EQ(stringItem(connection->lockdown(prohibited.get()).get(), "Error"),
                  "GetProhibited");
    }
    const Plist all = connection->lockdown(getValue(nullptr).get());
    const plist_t values = plist_dict_get_item(all.get(), "Value");
    EXPECT_EQ(stringItem(values, "UniqueDeviceID"), kUdid);
    EXPECT_EQ(plist_dict_get_item(values, "SerialNumber"), nullptr);

    EXPECT_EQ(stringItem(startSession(*connection, host().hostId()).get(), "Error"),
              "InvalidHostID");
    const Plist record = host().pairRecord();
    EXPECT_EQ(
        stringItem(connection->lockdown(pairRequest("ValidatePair", record.get()).get()).get(),
                   "Error"),
        "InvalidHostID");
    const Plist service =
        lockdownRequest("StartService", "Service", plist_new_string("com.apple.afc"));
    EXPECT_EQ(stringItem(connection->lockdown(service.get()).get(), "Error"), "SessionInactive");
}

TEST_F(LockdownSessionTest, PairRefusesRecordsThatDoNotCertifyTheDeviceKeyUnderTheHostsRoot) {
    startDaemon();
    const auto withCertificate = [](const char* key, X509* certificate) {
        Plist record = host().pairRecord();
        replaceCertificate(record.get(), key, certificate);
        return record;
    };
    Plist withoutHostId = host().pairRecord();
    plist_dict_remove_item(withoutHostId.get(), "HostID");
    const Plist bad[] = {
        std::move(withoutHostId),
        // Signed by the root, but for the host's key.
        withCertificate("DeviceCertificate", host().hostCertificate()),
        // For the device's key, but under another root.
        withCertificate("DeviceCertificate", stranger().deviceCertificate()),
        withCertificate("HostCertificate", stranger().hostCertificate()),
    };
    for (const Plist& record : bad) {
        EXPECT_EQ(pair(record.get()), "InvalidPairRecord");
    }
    EXPECT_EQ(pair(nullptr), "InvalidPairRecord");
    EXPECT_EQ(stringItem(startSession(*lockdown(), host().hostId()).get(), "Error"),
              "InvalidHostID");
}

TEST_F(LockdownSessionTest, ASessionRunsInsideTlsUntilTheHostsCloseNotifyIsAnswered) {
    startDaemon();
    const Plist record = host().pairRecord();
    const Plist paired = lockdown()->lockdown(pairRequest("Pair", record.get()).get());
    EXPECT_EQ(stringItem(paired.get(), "Error"), "");
    EXPECT_FALSE(dataItem(paired.get(), "EscrowBag").empty());

    const auto connection = lockdown();
    const Plist started = startSession(*connection, host().hostId());
    const std::string sessionId = stringItem(started.get(), "SessionID");
    ASSERT_FALSE(sessionId.empty());
    ASSERT_TRUE(boolItem(started.get(), "EnableSessionSSL"));
    TlsClient tls(connection->socket(), host().rootCertificate(), host().rootKey());
    ASSERT_TRUE(tls.handshake());
    EXPECT_EQ(tls.version(), "TLSv1.3");
    EXPECT_EQ(stringItem(tls.exchange(getValue("SerialNumber").get()).get(), "Value"), "F2LTEST");
    const Plist battery = tls.exchange(getValue(nullptr, "com.apple.mobile.battery").get());
    EXPECT_EQ(uintItem(plist_dict_get_item(battery.get(), "Value"), "BatteryCurrentCapacity"), 76u);
    const Plist service = tls.exchange(
        lockdownRequest("StartService", "Service", plist_new_string("com.apple.afc")).get());
    EXPECT_EQ(uintItem(service.get(), "Port"), portOfService("com.apple.afc"));
    const Plist stopped = tls.exchange(
        lockdownRequest("StopSession", "SessionID", plist_new_string(sessionId.c_str())).get());
    EXPECT_EQ(stringItem(stopped.get(), "Result"), "Success");

    // The plain request right behind the close_notify must not be swallowed with it.
    ASSERT_TRUE(tls.sendCloseNotify());
    const std::string query = framedPlist(lockdownRequest("QueryType").get());
    ASSERT_TRUE(writeAll(connection->socket(), query.data(), query.size()));
    EXPECT_TRUE(tls.receiveCloseNotify());
    const Plist plain = connection->receiveLockdown();
    EXPECT_EQ(stringItem(plain.get(), "Type"), "com.apple.mobile.lockdown");
    const Plist afterwards = connection->lockdown(
        lockdownRequest("StartService", "Service", plist_new_string("com.apple.afc")).get());
    EXPECT_EQ(stringItem(afterwards.get(), "Error"), "SessionInactive");

    daemon_.reset();
    const std::string report = tally_->report();
    EXPECT_NE(report.find("lockdown-connections 2\n"), std::string::npos) << report;
    EXPECT_NE(report.find("tls-handshakes 1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("tls-version TLSv1.3 1\n"), std::string::npos) << report;
}

TEST_F(LockdownSessionTest, TheDeviceRemembersAPairingAcrossUnpluggingUntilUnpaired) {
    startDaemon();
    const Plist record = host().pairRecord();
    ASSERT_EQ(pair(record.get()), "");
    daemon_->detachAll();
    plugIn();
    EXPECT_EQ(
        stringItem(lockdown()->lockdown(pairRequest("ValidatePair", record.get()).get()).get(),
                   "Error"),
        "");
    EXPECT_TRUE(
        sessionWorks(host().rootCertificate(), host().rootKey(), TLS1_VERSION, TLS1_3_VERSION));
    EXPECT_EQ(
        stringItem(lockdown()->lockdown(pairRequest("Unpair", record.get()).get()).get(), "Error"),
        "");
    EXPECT_EQ(stringItem(startSession(*lockdown(), host().hostId()).get(), "Error"),
              "InvalidHostID");
}

TEST_F(LockdownSessionTest, TheTlsServerTakesOnlyCurrentVersionsAndThePairingsRootCertificate) {
    startDaemon();
    const Plist record = host().pairRecord();
    ASSERT_EQ(pair(record.get()), "");
    // What libimobiledevice offers a device whose version it did not read first.
    EXPECT_FALSE(
        sessionWorks(host().rootCertificate(), host().rootKey(), TLS1_VERSION, TLS1_VERSION));
    EXPECT_FALSE(
        sessionWorks(host().rootCertificate(), host().rootKey(), TLS1_1_VERSION, TLS1_1_VERSION));
    std::string version;
    EXPECT_TRUE(sessionWorks(host().rootCertificate(), host().rootKey(), TLS1_VERSION,
                             TLS1_2_VERSION, &version));
    EXPECT_EQ(version, "TLSv1.2");
    EXPECT_FALSE(
        sessionWorks(host().hostCertificate(), host().hostKey(), TLS1_2_VERSION, TLS1_3_VERSION));
    EXPECT_FALSE(sessionWorks(stranger().rootCertificate(), stranger().rootKey(), TLS1_2_VERSION,
                              TLS1_3_VERSION));
    EXPECT_FALSE(sessionWorks(nullptr, nullptr, TLS1_2_VERSION, TLS1_2_VERSION));
}

TEST_F(LockdownSessionTest, Tls13OnlyRefusesTls12) {
    faults_.add("tls13-only");
    startDaemon();
    const Plist record = host().pairRecord();
    ASSERT_EQ(pair(record.get()), "");
    EXPECT_FALSE(
        sessionWorks(host().rootCertificate(), host().rootKey(), TLS1_2_VERSION, TLS1_2_VERSION));
    std::string version;
    EXPECT_TRUE(sessionWorks(host().rootCertificate(), host().rootKey(), TLS1_2_VERSION,
                             TLS1_3_VERSION, &version));
    EXPECT_EQ(version, "TLSv1.3");
}

TEST_F(LockdownSessionTest, PairWaitsForTheUsersHandInTheTrustDrills) {
    const Plist record = host().pairRecord();
    for (const auto& [fault, error] :
         {std::pair{"trust-pending", "PairingDialogResponsePending"},
          std::pair{"deny-trust", "UserDeniedPairing"}, std::pair{"locked", "PasswordProtected"}}) {
        daemon_.reset();
        faults_ = FaultPlan();
        faults_.add(fault);
        trustedHosts_ = std::make_shared<TrustedHosts>();
        startDaemon();
        EXPECT_EQ(pair(record.get()), error) << fault;
        EXPECT_EQ(pair(record.get()), error) << fault;
        daemon_->allowAccessToAll();
        EXPECT_EQ(pair(record.get()), "") << fault;
        EXPECT_EQ(stringItem(startSession(*lockdown(), host().hostId()).get(), "Error"), "")
            << fault;
    }
}

TEST_F(LockdownSessionTest, NoTlsKeepsTheSessionInPlainText) {
    faults_.disableSessionTls();
    startDaemon();
    const Plist record = host().pairRecord();
    ASSERT_EQ(pair(record.get()), "");
    const auto connection = lockdown();
    const Plist started = startSession(*connection, host().hostId());
    EXPECT_FALSE(stringItem(started.get(), "SessionID").empty());
    EXPECT_FALSE(boolItem(started.get(), "EnableSessionSSL"));
    EXPECT_EQ(stringItem(connection->lockdown(getValue("SerialNumber").get()).get(), "Value"),
              "F2LTEST");
}

}  // namespace
