"""Loads the test service's WSDL from a running server with zeep and calls each operation.

Prints one line per finding; exits with 1 at the first mismatch. Usage: zeep_client.py URL
"""
import base64
import sys

import zeep
import zeep.exceptions


def check(what, actual, expected):
    if actual != expected:
        print(f"MISMATCH {what}: {actual!r} != {expected!r}")
        sys.exit(1)
    print(f"ok {what}")


def country(code, iso, name, eu):
    return {"iso_3166n": code, "iso_3166a2": iso, "countryname": name, "IsEU": eu}


def main():
    client = zeep.Client(sys.argv[1])
    operations = sorted(client.service._binding._operations)
    check("operations", operations, ["Fail", "GetCode", "MakeLabels"])

    record = {
        "ParcelNumber": "P 42 & <1>", "ParcelRank": 7, "HazLQ": True, "RTown": "Lyon",
        "RCountry": country(250, "FR", "France", True), "SCountry": country(276, "DE", "Germany", True),
        "SDepotCountry": country(276, "DE", "Germany", True), "CODType": "codCash", "CODAmount": 12.5,
    }
    results = client.service.MakeLabels(aGeoLabelData=record)
    items = results["TResultInfo"] if not isinstance(results, list) else results
    check("result count", len(items), 2)
    check("first type", items[0]["ResultType"], "resHazlqLabel")
    check("first binary", items[0]["ResultBase64"], "P 42 & <1>".encode())
    check("second type", items[1]["ResultType"], "resSWAPLabel")
    check("second binary", items[1]["ResultBase64"], b"Lyon;7;12.5")

    code = client.service.GetCode(aCODType="codCreditCard", aGeoLabelData=record)
    check("binary", code, b"codCreditCard:P 42 & <1>")

    try:
        client.service.Fail(aText="broken & <gone>")
        print("MISMATCH Fail: no fault")
        sys.exit(1)
    except zeep.exceptions.Fault as fault:
        check("fault message", fault.message, "broken & <gone>")


if __name__ == "__main__":
    main()
