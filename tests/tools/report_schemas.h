// Checks a report against its schema in docs/ with tools of their own, not with our code:
// python3-jsonschema for the JSON reports and xmllint for the JUnit XML report.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/files.h"
#include "tests/support/run_program.h"

// What the validator said; empty when the report matches the schema.
inline std::string SchemaProblems(const std::string& report, const std::string& schemaFile) {
    const std::string schema = std::string(QUORVEL_DOCS_DIR) + "/" + schemaFile;
    const std::string instance = ::testing::TempDir() + "quorvel-report-" + std::to_string(::getpid());
    WriteFileAtomically(instance, report);
    ProgramResult result;
    if (schemaFile.ends_with(".xsd")) {
        result = RunProgram("/usr/bin/xmllint", {"--noout", "--schema", schema, instance});
    } else {
        result = RunProgram("/usr/bin/python3",
                            {"-c",
                             "import json, sys, jsonschema\n"
                             "jsonschema.validate(json.load(open(sys.argv[2])), json.load(open(sys.argv[1])))\n",
                             schema, instance});
    }
    ::unlink(instance.c_str());
    return result.status == 0 ? "" : result.out + result.err + " (status " + std::to_string(result.status) + ")";
}

#define EXPECT_MATCHES_SCHEMA(report, schemaFile) EXPECT_EQ(SchemaProblems(report, schemaFile), "")
