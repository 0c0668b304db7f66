#!/usr/bin/python3
"""Makes orlo's place file "sao.cty" from the METAR station list of Debian's
weather-util-data (/usr/share/weather-util/stations.gz: ICAO identifier,
description, position in radians; public-domain NOAA/NWS sources, ISC
packaging) and the country names of Debian's iso-codes (ISO 3166-1).

One place per line: name state country id flag lat lon elevation wmo count.
- name: the place part of the description (before " / " or the airport
  words), blanks written as "_", at most 20 characters;
- state: the US state or Canadian province code when the description has
  one, else "--"; country: the ISO 3166-1 two-letter code, "--" when the
  country name is not one ISO knows;
- flag: the label priority digit: 1 for international airports (they serve
  the larger cities), 3 for every other station;
- elevation 9999 and WMO number -9999: the source has neither.
Stations without a position are left out.

Usage: make_sao_cty.py > sao.cty
"""
import gzip
import json
import re
import sys

STATIONS = "/usr/share/weather-util/stations.gz"
ISO = "/usr/share/iso-codes/json/iso_3166-1.json"

# Words that start the airport part of a description ("Denver International
# Airport" is the place Denver).
AIRPORT_WORDS = re.compile(
    r"\b(International|Intl|Int'L|Airport|Airfield|Regional|Municipal|Field|"
    r"Air Force|Air Base|Aeropuerto|Aeroporto|Aeroport|Aerodrome|Army|Naval|"
    r"Airpark|County|Memorial)\b.*", re.I)


def country_codes():
    codes = {"us": "US", "united states of america": "US", "russia": "RU",
             "south korea": "KR", "north korea": "KP", "iran": "IR",
             "vietnam": "VN", "syria": "SY", "laos": "LA", "taiwan": "TW",
             "bolivia": "BO", "venezuela": "VE", "tanzania": "TZ",
             "moldova": "MD", "czech republic": "CZ", "macedonia": "MK",
             "turkey": "TR", "south": "KR", "serbia and montenegro": "RS"}
    with open(ISO, encoding="utf-8") as f:
        for c in json.load(f)["3166-1"]:
            for k in ("name", "common_name", "official_name"):
                if k in c:
                    codes.setdefault(c[k].lower(), c["alpha_2"])
            codes.setdefault(c["alpha_2"].lower(), c["alpha_2"])
    return codes


def stations():
    rec = {}
    with gzip.open(STATIONS, "rt", encoding="utf-8") as f:
        for row in f:
            row = row.strip()
            if row.startswith("["):
                if rec:
                    yield rec
                rec = {"id": row.strip("[]").upper()}
            elif " = " in row and rec:
                k, v = row.split(" = ", 1)
                rec[k] = v
    if rec:
        yield rec


def place_name(desc):
    head = desc.split(",")[0].split(" / ")[0]
    short = AIRPORT_WORDS.sub("", head).strip(" -.")
    name = re.sub(r"[^A-Za-z0-9.'-]+", "_", short or head).strip("_")
    return (name or "unknown")[:20]


def main():
    codes = country_codes()
    for s in stations():
        m = re.match(r"\(([-0-9.]+), ([-0-9.]+)\)", s.get("location", ""))
        desc = s.get("description", "")
        if not m or desc.startswith("unknown station") or len(s["id"]) > 9:
            continue
        lat, lon = (float(v) * 57.29577951308232 for v in m.groups())
        parts = [p.strip() for p in desc.split(",")]
        country = codes.get(parts[-1].lower(), "--") if len(parts) > 1 else "--"
        state = parts[-2] if len(parts) > 2 and re.fullmatch(r"[A-Z]{2}", parts[-2]) else "--"
        prior = 1 if re.search(r"\bInt(ernationa)?l\b|Int'L", desc, re.I) else 3
        print("%-20s %-2s %-2s %-9s %d %7.3f %8.3f 9999 -9999 0" %
              (place_name(desc), state, country, s["id"], prior, lat, lon))


if __name__ == "__main__":
    main()
