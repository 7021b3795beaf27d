#pragma once

// Certificates for HTTPS tests, made once per test program with the openssl command in a temporary
// directory: a CA, a server certificate it signed for 127.0.0.1 and localhost, and one it signed for
// another host name only.

#include <QTemporaryDir>

#include <cstdlib>
#include <string>

namespace testing_support {

struct TestCertificates {
    std::string caFile;
    std::string serverCertFile;
    std::string serverKeyFile;
    std::string otherHostCertFile;
    std::string otherHostKeyFile;
    std::string error; // empty when all were made
};

inline const TestCertificates& testCertificates()
{
    static QTemporaryDir dir;
    static const TestCertificates made = [] {
        TestCertificates c;
        const std::string d = dir.path().toStdString();
        c.caFile = d + "/ca.pem";
        c.serverCertFile = d + "/server.pem";
        c.serverKeyFile = d + "/server.key";
        c.otherHostCertFile = d + "/other.pem";
        c.otherHostKeyFile = d + "/other.key";
        const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        const std::string script =
            "cd '" + d + "' && exec >openssl.log 2>&1 && " + "openssl req -x509" + key +
            " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Sandbox Test CA'" +
            " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign && " +
            "printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\nextendedKeyUsage=serverAuth\\n' >server.ext && " +
            "printf 'subjectAltName=DNS:other.example\\nextendedKeyUsage=serverAuth\\n' >other.ext && " +
            "openssl req" + key + " -keyout server.key -out server.csr -subj '/CN=127.0.0.1' && " +
            "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2" +
            " -extfile server.ext -out server.pem && " + "openssl req" + key +
            " -keyout other.key -out other.csr -subj '/CN=other.example' && " +
            "openssl x509 -req -in other.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2" +
            " -extfile other.ext -out other.pem";
        if (!dir.isValid() || std::system(script.c_str()) != 0) {
            c.error = "openssl could not make the test certificates (see " + d + "/openssl.log)";
        }
        return c;
    }();
    return made;
}

} // namespace testing_support
