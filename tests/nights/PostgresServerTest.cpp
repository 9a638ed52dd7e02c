// The test server every PostgreSQL test of the library starts: it answers
// on its own socket, and is gone, by its PID, when the fixture ends.
#include "support/PostgresServer.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <csignal>

namespace quenda {
namespace {

TEST(PostgresServer, AnswersOnItsOwnSocketAndStopsWithTheFixture) {
    if (test::PostgresServer::Programs().empty()) GTEST_SKIP() << "no PostgreSQL server installed";
    pid_t pid = 0;
    {
        test::PostgresServer server;
        ASSERT_EQ(server.Problem(), "");
        pid = server.Pid();
        PGconn* conn = PQconnectdb(server.Uri().c_str());
        ASSERT_EQ(PQstatus(conn), CONNECTION_OK) << PQerrorMessage(conn);
        PGresult* result = PQexec(conn, "SELECT 40 + 2");
        ASSERT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << PQerrorMessage(conn);
        EXPECT_STREQ(PQgetvalue(result, 0, 0), "42");
        PQclear(result);
        PQfinish(conn);
    }
    EXPECT_NE(::kill(pid, 0), 0);
}

}  // namespace
}  // namespace quenda
