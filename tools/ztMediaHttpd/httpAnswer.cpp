// See httpAnswer.h.
#include "httpAnswer.h"

HttpAnswer textAnswer(int status, const std::string &text)
{
    HttpAnswer a;
    a.status = status;
    a.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
    a.body = text;
    return a;
}
