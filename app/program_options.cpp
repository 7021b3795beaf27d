#include "app/program_options.h"

#include "platform/qt_text.h"
#include "json/utf8.h"

#include <QUrl>

#include <algorithm>
#include <limits>

namespace app {
namespace {

// The options that take a value, and where each one goes.
QString* textTarget(ProgramOptions& options, const QString& name)
{
    if (name == QStringLiteral("--server")) {
        return &options.server;
    }
    if (name == QStringLiteral("--local")) {
        return &options.local;
    }
    if (name == QStringLiteral("--data-dir")) {
        return &options.dataDir;
    }
    if (name == QStringLiteral("--ca-file")) {
        return &options.caFile;
    }
    if (name == QStringLiteral("--log-file")) {
        return &options.logFile;
    }
    return nullptr;
}

std::optional<QString>* credentialTarget(ProgramOptions& options, const QString& name)
{
    if (name == QStringLiteral("--token")) {
        return &options.token;
    }
    if (name == QStringLiteral("--npsn")) {
        return &options.npsn;
    }
    if (name == QStringLiteral("--user")) {
        return &options.user;
    }
    return nullptr;
}

// The options whose value is read into something other than a text.
bool isReadOption(const QString& name)
{
    return name == QStringLiteral("--retry") || name == QStringLiteral("--tables");
}

// Reads the value of --retry or --tables into the options; why it will not do, or empty.
QString readOption(ProgramOptions& options, const QString& name, const QString& value)
{
    if (name == QStringLiteral("--retry")) {
        bool isNumber = false;
        options.retry = value.toInt(&isNumber);
        if (!isNumber || options.retry < 0) {
            return QStringLiteral("Nilai --retry harus bilangan bulat 0 atau lebih: ") + value;
        }
        return {};
    }
    options.tables.clear();
    for (const QString& table : value.split(u',')) {
        if (!table.trimmed().isEmpty()) {
            options.tables << table.trimmed();
        }
    }
    return options.tables.isEmpty() ? QStringLiteral("Opsi --tables memerlukan nama tabel.") : QString();
}

// Why `value` cannot be taken for option `name`; empty when it can.
QString valueError(const QString& name, const QByteArray& value)
{
    // Decoded anyway, such bytes would become U+FFFD: another token sent and saved, a folder not found.
    if (!json::isWellFormedUtf8(platform::byteView(value))) {
        return QStringLiteral("Argumen ") + name + QStringLiteral(" bukan teks UTF-8 yang sah");
    }
    // Neither service takes credentials in its address, and the addresses are printed, logged and opened
    // in the browser. Read as requests read them, so that whatever they would take for a user name or
    // password is refused, even in an address that is otherwise not valid.
    const bool address = name == QStringLiteral("--server") || name == QStringLiteral("--local");
    if (address && !QUrl(QString::fromUtf8(value), QUrl::TolerantMode).userInfo().isEmpty()) {
        return QStringLiteral("Alamat server tidak boleh memuat nama pengguna atau kata sandi");
    }
    return {};
}

bool isWholeNumber(const QByteArray& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The count of --history: a whole number above 0.
std::optional<std::size_t> historyCount(const QByteArray& text)
{
    bool ok = false;
    const qulonglong count = text.toULongLong(&ok);
    if (!isWholeNumber(text) || !ok || count == 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(std::min<qulonglong>(count, std::numeric_limits<std::size_t>::max()));
}

} // namespace

ParsedOptions parseProgramOptions(const QByteArrayList& arguments)
{
    ParsedOptions parsed;
    ProgramOptions& options = parsed.options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QByteArray option = arguments[i];
        std::optional<QByteArray> inlineValue;
        if (const qsizetype equals = option.indexOf('='); option.startsWith("--") && equals > 0) {
            inlineValue = option.mid(equals + 1);
            option.truncate(equals);
        }
        const QString name = QString::fromUtf8(option);
        if (name == QStringLiteral("--history")) {
            options.history = true;
            const bool countFollows = !inlineValue && i + 1 < arguments.size() && isWholeNumber(arguments[i + 1]);
            if (!inlineValue && !countFollows) {
                continue;
            }
            const QByteArray& text = inlineValue ? *inlineValue : arguments[++i];
            const std::optional<std::size_t> count = historyCount(text);
            if (!count) {
                parsed.error = QStringLiteral("Jumlah pada --history harus bilangan bulat lebih dari 0: ") +
                               QString::fromUtf8(text);
                return parsed;
            }
            options.historyCount = *count;
            continue;
        }
        if (!inlineValue &&
            (name == QStringLiteral("--cli") || name == QStringLiteral("--help") || name == QStringLiteral("-h"))) {
            (name == QStringLiteral("--cli") ? options.console : options.help) = true;
            continue;
        }
        QString* text = textTarget(options, name);
        std::optional<QString>* credential = credentialTarget(options, name);
        if (text == nullptr && credential == nullptr && !isReadOption(name)) {
            parsed.error = QStringLiteral("Opsi tidak dikenal: ") + QString::fromUtf8(arguments[i]);
            return parsed;
        }
        if (!inlineValue && i + 1 >= arguments.size()) {
            parsed.error = QStringLiteral("Opsi ") + name + QStringLiteral(" memerlukan nilai.");
            return parsed;
        }
        const QByteArray& bytes = inlineValue ? *inlineValue : arguments[++i];
        parsed.error = valueError(name, bytes);
        if (!parsed.error.isEmpty()) {
            return parsed;
        }
        const QString value = QString::fromUtf8(bytes);
        if (text != nullptr) {
            *text = value;
        } else if (credential != nullptr) {
            *credential = value;
        } else if (parsed.error = readOption(options, name, value); !parsed.error.isEmpty()) {
            return parsed;
        }
    }
    return parsed;
}

QString programHelp(const QString& defaultServer)
{
    return QStringLiteral("Penggunaan: murenta-tervalis-helper [opsi]\n"
                          "\n"
                          "Mengirim tabel data sekolah dari layanan lokal Murenta ke server Tervalis.\n"
                          "\n"
                          "Opsi:\n"
                          "  --cli              Jalankan tanpa jendela: cek versi, lalu satu kali Kirim Data,\n"
                          "                     lalu keluar. Log ke stdout, status dan pesan ke stderr.\n"
                          "  --token TOKEN      Token Web Service Murenta (menggantikan isi data.json).\n"
                          "  --npsn NPSN        NPSN sekolah (menggantikan isi data.json).\n"
                          "  --user USERNAME    Username OPS Murenta (menggantikan isi data.json).\n"
                          "  --server URL       Alamat server Tervalis (bawaan: ") +
           defaultServer +
           QStringLiteral(").\n"
                          "  --local URL        Alamat layanan lokal Murenta (bawaan: http://127.0.0.1:5774).\n"
                          "  --data-dir FOLDER  Folder tempat data.json dan riwayat.jsonl (riwayat kiriman)\n"
                          "                     disimpan. Bawaan: folder program bila bisa ditulis; bila tidak\n"
                          "                     (program terpasang), folder data aplikasi milik pengguna, mis.\n"
                          "                     %APPDATA%\\murenta-tervalis-helper atau\n"
                          "                     ~/.local/share/murenta-tervalis-helper.\n"
                          "  --ca-file PEM      Sertifikat CA tambahan yang dipercaya untuk HTTPS.\n"
                          "                     (Di Windows lewat Schannel; di Wine tidak berlaku.)\n"
                          "  --log-file FILE    Pada --cli: tambahkan catatan setiap jalannya ke FILE (UTF-8,\n"
                          "                     hanya pemilik yang dapat membaca; tidak pernah ditimpa):\n"
                          "                     waktu mulai, versi dan kedua alamat, semua baris log dan\n"
                          "                     status, lalu kode keluar dan lama jalannya.\n"
                          "  --retry N          Pada --cli: bila cek versi gagal terhubung, coba lagi hingga\n"
                          "                     N kali, setelah jeda 15, 30, 60 detik, lalu setiap 60 detik\n"
                          "                     (bawaan: 0). Jendela selalu mencoba lagi sampai berhasil.\n"
                          "  --tables A,B       Pada --cli: kirim hanya tabel ini, dengan nama endpoint dari\n"
                          "                     server (mis. getSiswa) atau nama tampilannya (mis. SISWA).\n"
                          "                     Nama yang tidak dikenal: kode keluar 1 dan daftar nama tabel.\n"
                          "  --history [N]      Tampilkan N kiriman terakhir dari riwayat (bawaan: 10), yang\n"
                          "                     terbaru lebih dulu, satu baris per kiriman: tanggal dan jam,\n"
                          "                     status akhir, tabel terkirim/semua tabel. Tidak menghubungi\n"
                          "                     server; kode keluar 0. Bisa digabung dengan --data-dir.\n"
                          "  -h, --help         Tampilkan bantuan ini.\n"
                          "\n"
                          "Kode keluar pada --cli:\n"
                          "  0  selesai: semua tabel terkirim dan diproses (SELESAI!)\n"
                          "  1  opsi pada baris perintah salah, atau tabel pada --tables tidak dikenal\n"
                          "  2  gagal terhubung ke server saat cek versi (GAGAL TERHUBUNG), juga pada\n"
                          "     percobaan --retry yang terakhir\n"
                          "  3  aplikasi perlu diperbarui (BUTUH UPDATE)\n"
                          "  4  berhenti di cek email, login atau batas kirim harian\n"
                          "  5  ada tabel yang gagal dikirim atau diproses (SELESAI (ADA ERROR))\n"
                          "\n"
                          "Menjadwalkan pengiriman (data.json sudah berisi kredensial):\n"
                          "  cron (Linux), setiap hari pukul 14.00:\n"
                          "    0 14 * * * /opt/mth/murenta-tervalis-helper --cli --log-file /var/log/mth/kirim.log"
                          " --retry 5\n"
                          "  Windows Task Scheduler, setiap hari pukul 14.00:\n"
                          "    schtasks /Create /TN \"Kirim Data Murenta\" /SC DAILY /ST 14:00\n"
                          "      /TR \"C:\\MTH\\murenta-tervalis-helper.exe --cli --log-file C:\\MTH\\kirim.log"
                          " --retry 5\"\n");
}

} // namespace app
