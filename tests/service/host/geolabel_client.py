#!/usr/bin/python3
"""A SOAP client of the label service built by zeep from the service's own WSDL (GET /SOAP).

    geolabel_client.py <port> <output folder> <scenario>...

The request record is the fixture envelope beside the tests (data/fixture_request.xml), read
through the WSDL's type, so the client sends what the schema describes. Each scenario writes the
documents it receives into the output folder and prints one JSON line: the scenario, the result
types and file names, or the fault (its HTTP status and text). The C++ host tests check the
files with qpdf, pdftotext, ImageMagick and zxing-cpp.
"""

import base64
import json
import os
import sys

import requests
import zeep
from lxml import etree

NS = "http://tempuri.org/"
SOAP_ACTION = "urn:VelmoraGeoLabelServiceLib-VelmoraGeoLabelService#"
HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURE = os.path.join(HERE, "data", "fixture_request.xml")


PRIMITIVE_DEFAULTS = {"string": "", "int": 0, "boolean": False, "double": 0.0}


def complete(record, record_type):
    """Empty texts, zeros and false for the fields without a value; other fields (countries,
    enumerations) are left out of the request."""
    for name, element in record_type.elements:
        if record[name] is None:
            type_name = element.type.qname.localname if element.type.qname is not None else ""
            record[name] = PRIMITIVE_DEFAULTS.get(type_name, zeep.xsd.SkipValue)
    return record


def record_type(client):
    return client.get_type("{%s}TGeoLabelData" % NS)


def empty_record(client):
    return complete(record_type(client)(), record_type(client))


def fixture_record(client):
    """The fixture's aGeoLabelData as a value of the WSDL's TGeoLabelData."""
    envelope = etree.parse(FIXTURE)
    element = envelope.find(".//{%s}aGeoLabelData" % NS)
    return complete(record_type(client).parse_xmlelement(element, client.wsdl.types), record_type(client))


def save(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    return name


class Session:
    def __init__(self, port, folder):
        self.base = "http://127.0.0.1:%d/SOAP" % port
        self.folder = folder
        self.client = zeep.Client(self.base)
        self.service = self.client.service

    def results(self, scenario, array, extension):
        entries = []
        # zeep hands the one repeated element of the array type over as a plain list.
        items = array if isinstance(array, list) else (array.TResultInfo if array is not None else None)
        for i, info in enumerate(items or []):
            name = "%s_%d_%s.%s" % (scenario, i, info.ResultType, extension)
            entries.append({"type": info.ResultType, "file": save(self.folder, name, info.ResultBase64)})
        return {"results": entries}

    def call(self, scenario, function):
        try:
            answer = function()
        except zeep.exceptions.Fault as fault:
            answer = {"fault": fault.message}
        answer["scenario"] = scenario
        print(json.dumps(answer), flush=True)

    def raw(self, scenario, body, operation="PrintGeoLabelAsPDF", content_type="text/xml; charset=utf-8"):
        """Posts bytes as they are; prints the HTTP status and the fault text when there is one."""
        answer = requests.post(
            self.base,
            data=body,
            headers={"Content-Type": content_type, "SOAPAction": '"%s%s"' % (SOAP_ACTION, operation)},
            timeout=60,
        )
        result = {"scenario": scenario, "status": answer.status_code}
        try:
            fault = etree.fromstring(answer.content).find(".//faultstring")
            if fault is not None:
                result["fault"] = fault.text
        except etree.XMLSyntaxError:
            result["body"] = answer.text[:200]
        print(json.dumps(result), flush=True)

    # ---- Scenarios --------------------------------------------------------------------------

    def pdf(self):
        record = fixture_record(self.client)
        self.call("pdf", lambda: self.results("pdf", self.service.PrintGeoLabelAsPDF(record), "pdf"))

    def pdf_all(self):
        record = fixture_record(self.client)
        record.HazLQ = True
        record.PrintSWAPLabel = record.PrintReceiptLabel = record.PrintReturnLabel = True
        self.call("pdf_all", lambda: self.results("pdf_all", self.service.PrintGeoLabelAsPDF(record), "pdf"))

    def image_bmp(self):
        record = fixture_record(self.client)
        self.call(
            "image_bmp",
            lambda: self.results("image_bmp", self.service.PrintGeoLabelAsImage("imgBMP", record), "bmp"),
        )

    def images(self):
        """Every image type with every label."""
        record = fixture_record(self.client)
        record.HazLQ = True
        record.PrintSWAPLabel = record.PrintReceiptLabel = record.PrintReturnLabel = True
        for image_type, extension in (("imgBMP", "bmp"), ("imgJPEG", "jpg"), ("imgTIFF", "tif"), ("imgGIF", "gif")):
            scenario = "images_" + extension
            self.call(
                scenario,
                lambda: self.results(scenario, self.service.PrintGeoLabelAsImage(image_type, record), extension),
            )

    def aztec(self):
        record = fixture_record(self.client)
        self.call(
            "aztec_string",
            lambda: {"file": save(self.folder, "aztec_string.bin", self.service.GetAztecAsString(record))},
        )
        for image_type in ("imgBMP", "imgJPEG"):
            name = "aztec_%s.bmp" % image_type
            self.call(
                "aztec_" + image_type,
                lambda: {"file": save(self.folder, name, self.service.GetAztecAsImage(image_type, record))},
            )

    def bad_requests(self):
        """Each bad request, then a valid call that must still succeed."""
        fixture = open(FIXTURE, "rb").read()
        valid = lambda scenario: self.raw(scenario, fixture)
        self.raw("malformed_xml", fixture[: len(fixture) // 2])
        valid("after_malformed_xml")
        self.raw("unknown_operation", fixture.replace(b"PrintGeoLabelAsPDF", b"PrintNothing"), "PrintNothing")
        valid("after_unknown_operation")
        start = fixture.index(b"<aGeoLabelData>")
        end = fixture.index(b"</aGeoLabelData>") + len(b"</aGeoLabelData>")
        self.raw("no_record", fixture[:start] + fixture[end:])
        valid("after_no_record")

        empty = empty_record(self.client)
        self.call("empty_fields", lambda: self.results("empty_fields", self.service.PrintGeoLabelAsPDF(empty), "pdf"))
        valid("after_empty_fields")

        record = fixture_record(self.client)
        record.HazLQ = True
        record.ParcelNumber = "0123456789012X"
        self.call("hazlq_bad_parcel", lambda: self.results("hazlq", self.service.PrintGeoLabelAsPDF(record), "pdf"))
        valid("after_hazlq_bad_parcel")

        self.raw("over_the_cap", b"<" + b"x" * (5 << 20) + b"/>")
        valid("after_over_the_cap")

    def close(self):
        self.call("close", lambda: {"answer": repr(self.service.CloseApplication())})


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    session = Session(port, folder)
    for scenario in sys.argv[3:]:
        getattr(session, scenario)()


if __name__ == "__main__":
    main()
