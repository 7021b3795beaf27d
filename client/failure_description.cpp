#include "client/failure_description.h"

#include "json/decimal.h"

namespace client {

namespace {

using platform::FailureKind;

std::u16string serviceName(const ServiceAddress& where)
{
    const std::u16string_view name =
        where.service == Service::LocalMurenta ? u"Layanan Murenta lokal" : u"Server Tervalis";
    return std::u16string(name) + u" (" + where.address + u")";
}

// What the operator can do when the service cannot be reached at all.
std::u16string_view unreachableAdvice(Service service)
{
    return service == Service::LocalMurenta ? u" Pastikan aplikasi Murenta sedang berjalan."
                                            : u" Periksa koneksi internet, lalu coba lagi.";
}

// The rate floor a transfer did not meet: "kurang dari 1 KiB dalam 30 detik".
std::u16string floorText(std::int64_t bytes, std::chrono::milliseconds window)
{
    using json::decimalText;
    const std::u16string amount =
        bytes % 1024 == 0 ? decimalText(bytes / 1024) + u" KiB" : decimalText(bytes) + u" byte";
    const std::int64_t ms = window.count();
    const std::u16string span = ms % 1000 == 0 ? decimalText(ms / 1000) + u" detik" : decimalText(ms) + u" ms";
    return u"kurang dari " + amount + u" dalam " + span;
}

std::u16string describeRequestFailure(const platform::RequestFailure& failure, const ServiceAddress& where)
{
    const std::u16string service = serviceName(where);
    const std::u16string notReached = service + u" tidak dapat dihubungi: ";
    const std::u16string advice(unreachableAdvice(where.service));
    switch (failure.kind) {
    case FailureKind::Refused:
        return notReached + u"koneksi ditolak." + advice;
    case FailureKind::NameNotResolved:
        return notReached + u"nama alamatnya tidak ditemukan. Periksa alamat dan koneksi internet.";
    case FailureKind::ResolveTimeout:
        return notReached + u"pencarian nama alamatnya melewati batas waktu. Periksa koneksi internet.";
    case FailureKind::ConnectTimeout:
        return notReached + u"sambungan (termasuk jabat tangan TLS) melewati batas waktu." + advice;
    case FailureKind::CertificateUntrusted:
        return service + u" ditolak: sertifikat keamanannya tidak dipercaya. Periksa tanggal dan jam komputer.";
    case FailureKind::CertificateMismatch:
        return service + u" ditolak: sertifikat keamanannya diterbitkan untuk nama server lain.";
    case FailureKind::TlsFailed:
        return service + u" ditolak: sambungan aman (TLS) gagal (" + failure.detail + u").";
    case FailureKind::SendTimeout:
        return u"Pengiriman data ke " + service + u" terhenti melewati batas waktu.";
    case FailureKind::SilentServer:
        return service + u" tidak menjawab dalam batas waktu.";
    case FailureKind::ReplyStalled:
        return u"Balasan dari " + service + u" terhenti di tengah jalan melewati batas waktu.";
    case FailureKind::SlowTransfer:
        return u"Transfer data dengan " + service + u" terlalu lambat dan dihentikan (" +
               floorText(failure.floorBytes, failure.floorWindow) + u").";
    case FailureKind::ClosedWithoutReply:
        return service + u" menutup koneksi tanpa memberi balasan.";
    case FailureKind::ConnectionDropped:
        return u"Koneksi dengan " + service + u" terputus di tengah jalan.";
    case FailureKind::RedirectElsewhere:
        return service + u" mengalihkan permintaan ke alamat lain (" + failure.redirectTarget +
               u"); pengalihan itu tidak diikuti.";
    case FailureKind::ReplyTooLarge:
        return u"Balasan dari " + service + u" terlalu besar.";
    case FailureKind::OutOfMemory:
        return u"Balasan dari " + service + u" tidak dapat diterima: " + std::u16string(kOutOfMemory) + u".";
    case FailureKind::HeaderRefused:
        return u"Permintaan ke " + service + u" tidak dikirim: header " + failure.headerName +
               u" berisi baris baru atau karakter NUL.";
    case FailureKind::InvalidAddress:
        return u"Alamat " + service + u" bukan alamat http atau https yang sah.";
    case FailureKind::Canceled:
        return u"Permintaan ke " + service + u" dibatalkan.";
    case FailureKind::None:
    case FailureKind::Other:
        break;
    }
    return service + u" gagal dihubungi: " + failure.detail;
}

} // namespace

std::u16string describeFailure(const ExchangeFailure& failure)
{
    if (!failure.setupError.empty()) {
        return failure.setupError;
    }
    return describeRequestFailure(failure.request, failure.where);
}

} // namespace client
