#!/usr/bin/env python3
"""Prints the benchmark figures as Markdown tables: medians, and ratios against the peers.
Usage: summarize.py THROUGHPUT.json MEMORY.txt"""
import json
import sys


def medians(path):
    with open(path) as f:
        report = json.load(f)
    out = {}
    for b in report['benchmarks']:
        if b.get('aggregate_name') != 'median':
            continue
        out[b['run_name']] = b
    return out


def mbps(b):
    return b['bytes_per_second'] / 1e6


def main():
    bench = medians(sys.argv[1])
    inputs = []
    for name in bench:
        if name.startswith('Nlohmann/'):
            inputs.append(name.split('/', 1)[1])
    print('| input | decode+ParseJson MB/s | ratio | ParseJsonUtf8 MB/s | ratio | ParseJson on UTF-16 MB/s | '
          'UTF-8 to UTF-16 MB/s | nlohmann MB/s | RapidJSON MB/s | ParseJsonUtf8 / RapidJSON |')
    print('|---|---|---|---|---|---|---|---|---|---|')
    for i in inputs:
        peer = mbps(bench['Nlohmann/' + i])
        fast = mbps(bench['RapidJson/' + i])
        dec = mbps(bench['DecodeThenParseJson/' + i])
        direct = mbps(bench['ParseJsonUtf8/' + i])
        print('| %s | %.0f | %.2f | %.0f | %.2f | %.0f | %.0f | %.0f | %.0f | %.2f |' % (
            i, dec, dec / peer, direct, direct / peer, mbps(bench['ParseJsonOnUtf16/' + i]),
            mbps(bench['Utf8ToUtf16/' + i]), peer, fast, direct / fast))
    print()
    print('| table | parser | parse s | free s | free / parse |')
    print('|---|---|---|---|---|')
    for i in inputs:
        for parser, name in (('ParseJsonUtf8', 'FreeParseJsonUtf8'), ('RapidJSON', 'FreeRapidJson')):
            key = '%s/%s/manual_time' % (name, i)
            if key in bench:
                b = bench[key]
                print('| %s | %s | %.3f | %.3f | %.3f |' % (i, parser, b['parse_s'], b['free_s'], b['free_to_parse']))
    print()
    for i in inputs:
        if 'GetJsonField/' + i in bench:
            g = mbps(bench['GetJsonField/' + i])
            f = mbps(bench['ViewFind/' + i])
            print('GetJsonField on %s: %.0f MB/s, u16string_view::find %.0f MB/s, ratio %.2f' % (i, g, f, g / f))
    a = bench['BM_StringBuilderAppend']['real_time']
    p = bench['BM_U16StringPushBack']['real_time']
    print('10 million one-character Appends: %.1f ms, push_back %.1f ms, ratio %.2f' % (a, p, a / p))
    print()
    print('| table | parser | peak RSS MiB | per input byte | ratio to nlohmann | ratio to RapidJSON |')
    print('|---|---|---|---|---|---|')
    rows = {}
    with open(sys.argv[2]) as f:
        for line in f:
            parts = line.split()
            fields = dict(p.split('=') for p in parts[2:])
            rows[(parts[0], parts[1])] = fields
    for (table, parser), fields in rows.items():
        peak = int(fields['peak_rss_kib'])
        peer = int(rows[(table, 'nlohmann')]['peak_rss_kib'])
        fast = int(rows[(table, 'rapidjson')]['peak_rss_kib'])
        print('| %s | %s | %.0f | %s | %.2f | %.2f |' % (table, parser, peak / 1024, fields['peak_per_input_byte'],
                                                         peak / peer, peak / fast))


main()
