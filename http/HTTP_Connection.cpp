#include "HTTP_Connection.h"

HTTP_Connection::~HTTP_Connection() {}

void HTTP_Connection::GetProgress(long long &llReceived, long long &llTotal)
{
    llReceived = 0;
    llTotal = 0;
}
