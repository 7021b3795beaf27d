// The demo school and its tables: deterministic rows that look like a school's records, with a few
// non-ASCII names so that encodings are exercised end to end.

#include "sandbox/sandbox.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace sandbox {

namespace {

constexpr std::array<const char*, 12> kNames = {
    "Andi Pratama", "Siti Nurhaliza", "Dédé Suparman",  "Rina Ariyanti", "Made Wirawan", "Nur’aini Rahma",
    "Joko Susilo",  "Ayu Lestari",    "Bagus Setiawan", "Wulan Sari",    "Ketut Ariasa", "Fajar Ramadhan",
};
constexpr std::array<const char*, 6> kSubjects = {"Matematika", "Bahasa Indonesia",  "IPA", "Bahasa Inggris",
                                                  "IPS",        "Pendidikan Jasmani"};

std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

std::uint64_t nameSeed(const std::string& name)
{
    std::uint64_t h = 1469598103934665603ULL;
    for (const char c : name) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return h;
}

std::string uuid(std::uint64_t seed)
{
    const std::uint64_t a = mix(seed);
    const std::uint64_t b = mix(a);
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-4%03x-a%03x-%012llx", static_cast<unsigned>(a >> 32),
                  static_cast<unsigned>(a & 0xFFFF), static_cast<unsigned>((a >> 16) & 0xFFF),
                  static_cast<unsigned>(b & 0xFFF), static_cast<unsigned long long>(b >> 16));
    return text;
}

std::string quoted(const std::string& text)
{
    return '"' + text + '"';
}

std::string row(const std::string& table, std::size_t i, std::uint64_t seed)
{
    const std::uint64_t r = mix(seed + i);
    const std::string id = quoted(uuid(seed + i));
    const std::string name = quoted(kNames[(i + r) % kNames.size()]);
    char buffer[512];
    if (table == "getSekolah") {
        std::snprintf(buffer, sizeof buffer,
                      "{\"sekolah_id\":%s,\"nama\":\"SMP Negeri %zu Sukamaju\",\"npsn\":\"%08zu\","
                      "\"alamat_jalan\":\"Jl. Merdeka No. %zu\",\"desa_kelurahan\":\"Sukamaju\","
                      "\"bentuk_pendidikan_id_str\":\"SMP\",\"status_sekolah_str\":\"Negeri\"}",
                      id.c_str(), i + 1, 20500123 + i, i + 1);
    } else if (table == "getGuru") {
        std::snprintf(buffer, sizeof buffer,
                      "{\"ptk_id\":%s,\"nama\":%s,\"nip\":\"19%016llu\",\"jenis_ptk_id_str\":\"Guru Mapel\","
                      "\"bidang_studi\":\"%s\",\"aktif\":true}",
                      id.c_str(), name.c_str(), static_cast<unsigned long long>(r % 10000000000000000ULL),
                      kSubjects[i % kSubjects.size()]);
    } else if (table == "getKelas") {
        std::snprintf(buffer, sizeof buffer,
                      "{\"rombongan_belajar_id\":%s,\"nama\":\"Kelas %zu%c\",\"tingkat_pendidikan_id\":%zu,"
                      "\"jumlah_siswa\":%llu,\"wali_kelas\":%s}",
                      id.c_str(), 7 + i / 3 % 3, static_cast<char>('A' + i % 3), 7 + i / 3 % 3,
                      static_cast<unsigned long long>(28 + r % 6), name.c_str());
    } else {
        std::snprintf(buffer, sizeof buffer,
                      "{\"peserta_didik_id\":%s,\"nama\":%s,\"nisn\":\"00%08llu\",\"jenis_kelamin\":\"%c\","
                      "\"tanggal_lahir\":\"2011-%02llu-%02llu\",\"nama_rombel\":\"Kelas %zu%c\","
                      "\"nilai_rata\":%llu.%02llu,\"alamat\":null}",
                      id.c_str(), name.c_str(), static_cast<unsigned long long>(r % 100000000), r % 2 ? 'L' : 'P',
                      static_cast<unsigned long long>(1 + r % 12), static_cast<unsigned long long>(1 + r / 12 % 28),
                      7 + i % 3, static_cast<char>('A' + i / 3 % 3), static_cast<unsigned long long>(70 + r % 30),
                      static_cast<unsigned long long>(r / 7 % 100));
    }
    return buffer;
}

} // namespace

School demoSchool()
{
    return School{
        "sandbox-token-5774",
        "20500123",
        {
            {"operator@smpn1-sukamaju.sch.id", "Operator Sekolah", "e3f1c0a9b7d54c2f"},
            {"kepsek@smpn1-sukamaju.sch.id", "Kepala Sekolah", "9a8b7c6d5e4f3a2b"},
            {"guru.matematika@smpn1-sukamaju.sch.id", "Guru", "0f1e2d3c4b5a6978"},
        },
    };
}

std::string generateTable(const std::string& name, std::size_t rows)
{
    const std::uint64_t seed = nameSeed(name);
    std::string out = "{\"results\":" + std::to_string(rows) + ",\"id\":\"" + uuid(~seed) +
                      "\",\"start\":0,\"limit\":" + std::to_string(rows) + ",\"rows\":[";
    for (std::size_t i = 0; i < rows; ++i) {
        out += i == 0 ? "\n" : ",\n";
        out += row(name, i, seed);
    }
    out += "\n]}\n";
    return out;
}

} // namespace sandbox
