#include "client/failure_description.h"

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

// The part after "The request header " and before " holds ...", or the whole detail.
std::u16string headerName(std::u16string_view detail)
{
    constexpr std::u16string_view prefix = u"The request header ";
    constexpr std::u16string_view suffix = u" holds ";
    if (detail.starts_with(prefix)) {
        detail.remove_prefix(prefix.size());
        detail = detail.substr(0, detail.find(suffix));
    }
    return std::u16string(detail);
}

} // namespace

std::u16string describeFailure(FailureKind kind, const ServiceAddress& where, std::u16string_view detail)
{
    const std::u16string service = serviceName(where);
    const std::u16string notReached = service + u" tidak dapat dihubungi: ";
    const std::u16string advice(unreachableAdvice(where.service));
    switch (kind) {
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
        return service + u" ditolak: sambungan aman (TLS) gagal (" + std::u16string(detail) + u").";
    case FailureKind::SendTimeout:
        return u"Pengiriman data ke " + service + u" terhenti melewati batas waktu.";
    case FailureKind::SilentServer:
        return service + u" tidak menjawab dalam batas waktu.";
    case FailureKind::ReplyStalled:
        return u"Balasan dari " + service + u" terhenti di tengah jalan melewati batas waktu.";
    case FailureKind::SlowTransfer: {
        // The request's own text ends with the floor that was not met, after a colon.
        const std::size_t floor = detail.find(u": ");
        const std::u16string measure =
            floor == std::u16string_view::npos ? u"" : u" (" + std::u16string(detail.substr(floor + 2)) + u")";
        return u"Transfer data dengan " + service + u" terlalu lambat dan dihentikan" + measure + u".";
    }
    case FailureKind::ClosedWithoutReply:
        return service + u" menutup koneksi tanpa memberi balasan.";
    case FailureKind::ConnectionDropped:
        return u"Koneksi dengan " + service + u" terputus di tengah jalan.";
    case FailureKind::RedirectElsewhere:
        return service + u" mengalihkan permintaan ke alamat lain (" + std::u16string(detail) +
               u"); pengalihan itu tidak diikuti.";
    case FailureKind::ReplyTooLarge:
        return u"Balasan dari " + service + u" terlalu besar.";
    case FailureKind::OutOfMemory:
        return u"Balasan dari " + service + u" tidak dapat diterima: " + std::u16string(kOutOfMemory) + u".";
    case FailureKind::HeaderRefused:
        return u"Permintaan ke " + service + u" tidak dikirim: header " + headerName(detail) +
               u" berisi baris baru atau karakter NUL.";
    case FailureKind::InvalidAddress:
        return u"Alamat " + service + u" bukan alamat http atau https yang sah.";
    case FailureKind::Canceled:
        return u"Permintaan ke " + service + u" dibatalkan.";
    case FailureKind::None:
    case FailureKind::Other:
        break;
    }
    return service + u" gagal dihubungi: " + std::u16string(detail);
}

} // namespace client
