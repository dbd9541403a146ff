#include "HTTP_Connection.h"

HTTP_Connection::~HTTP_Connection() {}
