#pragma once

#include "platform/Database.h"

#include <gtest/gtest.h>

#include "support/QtPrint.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

namespace qc::test {

// The database back ends the suites run on: SQLite always, PostgreSQL as well
// when QC_TEST_PG names a server (a connection string to a database the tests may
// create schemas in).
std::vector<std::string> backends();

// A fresh, empty account database on one back end: a SQLite file in a temporary
// folder, or a new schema on the PostgreSQL server that every connection opened
// with connectionString() works in. Dropped when the object goes.
class ScratchAccount {
  public:
    explicit ScratchAccount(const std::string& backend);
    ~ScratchAccount();
    ScratchAccount(const ScratchAccount&) = delete;
    ScratchAccount& operator=(const ScratchAccount&) = delete;

    [[nodiscard]] QString connectionString() const { return m_conn; }
    [[nodiscard]] Database& db() { return *m_db; }
    [[nodiscard]] QString folder() const { return m_dir.path(); }

  private:
    QTemporaryDir m_dir;
    QString m_conn;
    QString m_schema;
    QString m_admin;
    std::unique_ptr<Database> m_db;
};

// Base of the parameterised database suites: GetParam() is the back end.
class DbTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override;
    void TearDown() override;
    Database& db() { return m_account->db(); }
    [[nodiscard]] QString conn() const { return m_account->connectionString(); }
    [[nodiscard]] QString folder() const { return m_account->folder(); }
    std::unique_ptr<ScratchAccount> m_account;
};

std::string backendName(const ::testing::TestParamInfo<std::string>& info);

// A file the test needs, written whole.
inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

}  // namespace qc::test

// Instantiates a DbTest-derived suite on every configured back end.
#define QC_DB_SUITE(Suite) \
    INSTANTIATE_TEST_SUITE_P(Db, Suite, ::testing::ValuesIn(::qc::test::backends()), ::qc::test::backendName)
