#include "client/failure_description.h"

#include "json/utf8.h"

#include <gtest/gtest.h>

using client::Service;
using client::ServiceAddress;
using platform::FailureKind;
using platform::RequestFailure;

TEST(DescribeFailure, everyKind_namesTheServiceAndItsCause)
{
    const ServiceAddress local{Service::LocalMurenta, u"http://127.0.0.1:5774"};
    const ServiceAddress server{Service::RegionalServer, u"https://tervalis.example"};
    struct Case {
        RequestFailure failure;
        const ServiceAddress& where;
        std::u16string expected;
    };
    for (const Case& c : {
             Case{{FailureKind::Refused},
                  local,
                  u"Layanan Murenta lokal (http://127.0.0.1:5774) tidak dapat "
                  u"dihubungi: koneksi ditolak. Pastikan aplikasi Murenta sedang "
                  u"berjalan."},
             Case{{FailureKind::Refused},
                  server,
                  u"Server Tervalis (https://tervalis.example) tidak dapat "
                  u"dihubungi: koneksi ditolak. Periksa koneksi internet, lalu "
                  u"coba lagi."},
             Case{{FailureKind::NameNotResolved},
                  server,
                  u"Server Tervalis (https://tervalis.example) tidak "
                  u"dapat dihubungi: nama alamatnya tidak ditemukan. "
                  u"Periksa alamat dan koneksi internet."},
             Case{{FailureKind::ResolveTimeout},
                  server,
                  u"Server Tervalis (https://tervalis.example) tidak "
                  u"dapat dihubungi: pencarian nama alamatnya melewati "
                  u"batas waktu. Periksa koneksi internet."},
             Case{{FailureKind::ConnectTimeout},
                  local,
                  u"Layanan Murenta lokal (http://127.0.0.1:5774) tidak "
                  u"dapat dihubungi: sambungan (termasuk jabat tangan TLS) "
                  u"melewati batas waktu. Pastikan aplikasi Murenta sedang "
                  u"berjalan."},
             Case{{FailureKind::CertificateUntrusted},
                  server,
                  u"Server Tervalis (https://tervalis.example) "
                  u"ditolak: sertifikat keamanannya tidak "
                  u"dipercaya. Periksa tanggal dan jam komputer."},
             Case{{FailureKind::CertificateMismatch},
                  server,
                  u"Server Tervalis (https://tervalis.example) "
                  u"ditolak: sertifikat keamanannya diterbitkan "
                  u"untuk nama server lain."},
             Case{{.kind = FailureKind::TlsFailed, .detail = u"no shared cipher"},
                  server,
                  u"Server Tervalis (https://tervalis.example) "
                  u"ditolak: sambungan aman (TLS) gagal (no "
                  u"shared cipher)."},
             Case{{FailureKind::SendTimeout},
                  server,
                  u"Pengiriman data ke Server Tervalis "
                  u"(https://tervalis.example) terhenti melewati batas waktu."},
             Case{{FailureKind::SilentServer},
                  server,
                  u"Server Tervalis (https://tervalis.example) tidak "
                  u"menjawab dalam batas waktu."},
             Case{{FailureKind::ReplyStalled},
                  local,
                  u"Balasan dari Layanan Murenta lokal "
                  u"(http://127.0.0.1:5774) terhenti di tengah jalan "
                  u"melewati batas waktu."},
             Case{{.kind = FailureKind::SlowTransfer, .floorBytes = 500, .floorWindow = std::chrono::milliseconds(400)},
                  server,
                  u"Transfer data dengan Server Tervalis "
                  u"(https://tervalis.example) terlalu lambat dan dihentikan (kurang dari 500 byte dalam 400 ms)."},
             Case{{.kind = FailureKind::SlowTransfer, .floorBytes = 1024, .floorWindow = std::chrono::seconds(30)},
                  local,
                  u"Transfer data dengan Layanan Murenta lokal (http://127.0.0.1:5774) "
                  u"terlalu lambat dan dihentikan (kurang dari 1 KiB dalam 30 detik)."},
             Case{{FailureKind::ClosedWithoutReply},
                  server,
                  u"Server Tervalis (https://tervalis.example) "
                  u"menutup koneksi tanpa memberi balasan."},
             Case{{FailureKind::ConnectionDropped},
                  local,
                  u"Koneksi dengan Layanan Murenta lokal "
                  u"(http://127.0.0.1:5774) terputus di tengah jalan."},
             Case{{.kind = FailureKind::RedirectElsewhere,
             .redirectTarget = u"http://127.0.0.2:5774/WebService/getSiswa"},
                  local,
                  u"Layanan Murenta lokal (http://127.0.0.1:5774) mengalihkan permintaan ke alamat lain "
                  u"(http://127.0.0.2:5774/WebService/getSiswa); pengalihan itu tidak diikuti."},
             Case{{FailureKind::ReplyTooLarge},
                  server,
                  u"Balasan dari Server Tervalis (https://tervalis.example) terlalu besar."},
             Case{{FailureKind::OutOfMemory},
                  local,
                  u"Balasan dari Layanan Murenta lokal (http://127.0.0.1:5774) tidak dapat diterima: memori "
                  u"tidak cukup."},
             Case{{.kind = FailureKind::HeaderRefused, .headerName = u"Authorization"},
                  local,
                  u"Permintaan ke Layanan Murenta lokal (http://127.0.0.1:5774) tidak dikirim: header "
                  u"Authorization berisi baris baru atau karakter NUL."},
             Case{{FailureKind::InvalidAddress},
                  server,
                  u"Alamat Server Tervalis (https://tervalis.example) "
                  u"bukan alamat http atau https yang sah."},
             Case{{FailureKind::Canceled},
                  server,
                  u"Permintaan ke Server Tervalis (https://tervalis.example) "
                  u"dibatalkan."},
             Case{{.kind = FailureKind::Other, .detail = u"Unknown error"},
                  server,
                  u"Server Tervalis (https://tervalis.example) gagal "
                  u"dihubungi: Unknown error"},
         }) {
        EXPECT_EQ(client::describeFailure({c.where, c.failure}), c.expected)
            << static_cast<int>(c.failure.kind) << " " << json::Utf16ToUtf8(c.where.address);
    }
}
