#include "support/TestDb.h"

#include "platform/ScratchSchema.h"

#include <QAtomicInteger>
#include <QCoreApplication>

namespace qc::test {

namespace {
QAtomicInteger<int> g_schemaCounter;
}

std::vector<std::string> backends() {
    std::vector<std::string> b{"sqlite"};
    if (!qgetenv("QC_TEST_PG").isEmpty()) b.emplace_back("postgres");
    return b;
}

std::string backendName(const ::testing::TestParamInfo<std::string>& info) {
    return info.param;
}

ScratchAccount::ScratchAccount(const std::string& backend) {
    if (backend == "sqlite") {
        m_conn = m_dir.filePath(QStringLiteral("account.db"));
    } else {
        m_admin = QString::fromLocal8Bit(qgetenv("QC_TEST_PG"));
        m_schema = QStringLiteral("qct_%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_schemaCounter);
        m_conn = createScratchSchema(m_admin, m_schema);
    }
    m_db = Database::open(m_conn);
}

ScratchAccount::~ScratchAccount() {
    m_db.reset();
    if (!m_schema.isEmpty()) {
        try {
            dropScratchSchema(m_admin, m_schema);
        } catch (const DbError& e) {
            ADD_FAILURE() << "could not drop test schema: " << e.what();
        }
    }
}

void DbTest::SetUp() {
    m_account = std::make_unique<ScratchAccount>(GetParam());
}
void DbTest::TearDown() {
    m_account.reset();
}

}  // namespace qc::test
