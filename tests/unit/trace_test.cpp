#include "run/trace.h"

#include <gtest/gtest.h>

#include "store/database_error.h"

namespace patlink {
namespace {

TEST(TraceTest, FailuresKeepTheirMessageAndCodeButNotTheValuesQuoted) {
  EXPECT_EQ(DescribeFailure(DatabaseError("Field 'EXTRA' must have a value")),
            "Field 'EXTRA' must have a value");
  EXPECT_EQ(DescribeFailure(DatabaseError("Unable to complete network request to host", -902)),
            "Unable to complete network request to host (SQL code -902)");
  EXPECT_EQ(DescribeFailure(DatabaseError(
                "validation error for column \"PATIENTS\".\"LAST_NAME\", value \"Nov\xe1k\"", -625)),
            "validation error for column \"PATIENTS\".\"LAST_NAME\", value \"***\" (SQL code -625)");
  EXPECT_EQ(DescribeFailure(DatabaseError("conversion error from string \"05.03.1950\"", -413)),
            "conversion error from string \"***\" (SQL code -413)");
  EXPECT_EQ(DescribeFailure(DatabaseError(
                "violation of PRIMARY or UNIQUE KEY constraint \"U\" on table \"PATIENTS\"\n"
                "Problematic key value is (\"LAST_NAME\" = 'Nov\xe1k')",
                -803)),
            "violation of PRIMARY or UNIQUE KEY constraint \"U\" on table \"PATIENTS\"; "
            "Problematic key value is (\"LAST_NAME\" = \"***\") (SQL code -803)");
}

TEST(TraceTest, ParametersAreCountedAndMeasuredNeverShown) {
  EXPECT_EQ(DescribeParameters({}), "parameters: 0 (lengths)");
  EXPECT_EQ(DescribeParameters({"Novak", "", "05031950", "X1", "extra"}),
            "parameters: 5 (lengths 5, 0, 8, 2, 5)");
}

}  // namespace
}  // namespace patlink
