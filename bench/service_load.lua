-- wrk script of bench/service_load.sh: every request posts the fixture label request
-- (PrintGeoLabelAsPDF) to /SOAP. At the end it prints one line for the script to read: the
-- requests, their time, the 99th percentile of the latency, the answers other than 200 and
-- among them the 503s (counted when VGL_COUNT_503 is set, else 0), and the socket errors.

local fixture = os.getenv("VGL_FIXTURE_REQUEST")
local file = assert(io.open(fixture, "rb"), "cannot read " .. tostring(fixture))
wrk.method = "POST"
wrk.body = file:read("*a")
file:close()
wrk.headers["Content-Type"] = "text/xml; charset=utf-8"
wrk.headers["SOAPAction"] = '"urn:VelmoraGeoLabelServiceLib-VelmoraGeoLabelService#PrintGeoLabelAsPDF"'

local threads = {}

function setup(thread)
    table.insert(threads, thread)
end

function init(args)
    unavailable = 0
end

-- Only when asked: with a response() function wrk hands every answer's body (some 860 KB) to
-- Lua, work on the client's side that the runs without 503s need not pay.
local count503 = os.getenv("VGL_COUNT_503")
if count503 and count503 ~= "" then
    function response(status, headers, body)
        if status == 503 then
            unavailable = unavailable + 1
        end
    end
end

function done(summary, latency, requests)
    local n503 = 0
    for _, thread in ipairs(threads) do
        n503 = n503 + thread:get("unavailable")
    end
    local e = summary.errors
    io.write(string.format(
        "RESULT requests=%d duration_us=%d p99_us=%d non200=%d status503=%d e_connect=%d e_read=%d e_write=%d e_timeout=%d\n",
        summary.requests, summary.duration, latency:percentile(99), e.status, n503, e.connect, e.read, e.write,
        e.timeout))
end
