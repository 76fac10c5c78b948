-- wrk script: POSTs the upload body in UPLOAD_BODY_FILE as Glimor does, and
-- stops each thread after UPLOAD_LIMIT_PER_THREAD answers so the run stays
-- bounded in count as well as in time.
local file = assert(io.open(os.getenv("UPLOAD_BODY_FILE"), "rb"))
wrk.method = "POST"
wrk.path = "/guestglimor.php"
wrk.body = file:read("*a")
file:close()
wrk.headers["Content-Type"] = "multipart/form-data; boundary=---------------------------7d6891e3b0542"
-- UPLOAD_TOKEN, when set, is sent as the service's upload token.
local token = os.getenv("UPLOAD_TOKEN")
if token and token ~= "" then wrk.headers["Authorization"] = "Bearer " .. token end

local limit = tonumber(os.getenv("UPLOAD_LIMIT_PER_THREAD") or "2000")
local answered = 0

function response(status, headers, body)
  answered = answered + 1
  if answered >= limit then wrk.thread:stop() end
end
