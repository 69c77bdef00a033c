// The till hand-off's receive side with no socket: the fuzzer's bytes arrive
// in reads of the sizes it chooses, frames are cut by their length and each
// document is parsed and judged as the console does. What must hold:
//  - every byte that arrived is in exactly one frame (with its 4-byte
//    prefix) or still buffered, until an over-long prefix stops the stream;
//  - no document is over 64 KiB;
//  - a document the parser takes and the console would accept reads back
//    the same when written again, and so does the console's response to it
//    (the till must find its own key in the answer).
//
// Input: chunks of [length byte][that many bytes].
#include "FuzzSupport.h"

#include "till/TillProtocol.h"
#include "window/TillAnswers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    using Fuzz::require;
    Fuzz::Reader in(data, size);
    TillFrameReader reader;
    qsizetype arrived = 0;
    qsizetype framed = 0;
    while (!in.atEnd()) {
        const QByteArray chunk = in.bytes(in.byte());
        reader.append(chunk);
        arrived += chunk.size();
        for (;;) {
            const TillFrameReader::Step step = reader.next();
            if (step.kind == TillFrameReader::Step::TooLarge) {
                require(step.announced > quint32(TillProtocol::kMaxDocument), "only an over-long prefix stops");
                return 0;
            }
            if (step.kind == TillFrameReader::Step::NeedMore)
                break;
            require(step.document.size() <= TillProtocol::kMaxDocument, "a document within 64 KiB");
            framed += 4 + step.document.size();

            const TillParse parse = ParseTillRequest(step.document);
            if (parse.status != TillParse::Ok || RefuseTillRequest(parse.request))
                continue;
            const TillRequest &r = parse.request;
            const TillParse again = ParseTillRequest(TillRequestDocument(r));
            require(again.status == TillParse::Ok, "a written request parses");
            require(again.request.requestType == r.requestType && again.request.workstationId == r.workstationId
                        && again.request.requestId == r.requestId,
                    "a written request keeps its type and key");
            require(again.request.amount == r.amount || !r.amount, "a written request keeps its amount");
            TillResponse answer = TillResponseTo(r, TillProtocol::kSuccess);
            answer.amount = r.amount;
            const std::optional<TillResponse> read = ParseTillResponse(TillResponseDocument(answer));
            require(read.has_value(), "a written response parses");
            require(read->workstationId == r.workstationId && read->requestId == r.requestId
                        && read->requestType == r.requestType,
                    "a response carries the request's key");
        }
        require(framed + reader.buffered() == arrived, "every byte is framed or buffered");
    }
    return 0;
}
