# Shared by the set-up scripts: the Debian packages QCInput needs to build, test
# and run, installed only when some are missing (so that a machine that has them
# needs no network), and the local PostgreSQL server of the tests.

QC_PACKAGES=(
    cmake ninja-build g++ pkg-config clang-format clang-tidy
    qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql
    libsodium-dev libxlsxwriter-dev libminizip-dev zlib1g-dev libboost-dev libsqlite3-dev libpq-dev
    googletest libgtest-dev libbenchmark-dev
    fonts-noto-cjk postgresql xvfb xauth unzip poppler-utils
)

qc_sudo() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

qc_install_packages() {
    local missing=() p
    for p in "${QC_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        echo "== packages: all installed"
        return 0
    fi
    echo "== packages: installing ${missing[*]}"
    qc_sudo env DEBIAN_FRONTEND=noninteractive apt-get update
    qc_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# Starts the local PostgreSQL cluster when it is not running and makes the test
# role and database (qc/qc, qc_test) when they are missing.
qc_start_postgres() {
    local version
    version=$(ls /etc/postgresql | sort -V | tail -n 1)
    if [ -z "$version" ]; then
        echo "PostgreSQL is not installed (no /etc/postgresql)" >&2
        return 1
    fi
    if ! pg_lsclusters -h | awk -v v="$version" '$1 == v && $2 == "main" && $4 ~ /online/ { found = 1 } END { exit !found }'; then
        echo "== PostgreSQL $version: starting"
        qc_sudo pg_ctlcluster --skip-systemctl-redirect "$version" main start
    fi
    local i
    for i in $(seq 1 30); do
        pg_isready -q -h localhost -p 5432 && break
        sleep 1
    done
    pg_isready -h localhost -p 5432
    local psql=(qc_sudo runuser -u postgres -- psql -v ON_ERROR_STOP=1 -qtA)
    if [ "$("${psql[@]}" -c "SELECT 1 FROM pg_roles WHERE rolname = 'qc'")" != "1" ]; then
        "${psql[@]}" -c "CREATE ROLE qc LOGIN PASSWORD 'qc'"
    fi
    if [ "$("${psql[@]}" -c "SELECT 1 FROM pg_database WHERE datname = 'qc_test'")" != "1" ]; then
        "${psql[@]}" -c "CREATE DATABASE qc_test OWNER qc"
    fi
}

# A tablespace on a small file system of its own (tmpfs, 16 MB), where the tests
# move a scratch account to see a full server disk. Sets
# QC_TEST_PG_SMALL_TABLESPACE when it is there; where the machine cannot mount
# one, says why and leaves it unset (the test that needs it then says it skipped).
qc_small_tablespace() {
    local dir=/var/lib/postgresql/qc_small
    local psql=(qc_sudo runuser -u postgres -- psql -v ON_ERROR_STOP=1 -qtA)
    if ! mountpoint -q "$dir"; then
        qc_sudo mkdir -p "$dir"
        if ! qc_sudo mount -t tmpfs -o size=16m,mode=0700 tmpfs "$dir"; then
            echo "no small file system for the full-disk test (mount refused)" >&2
            return 0
        fi
        qc_sudo chown postgres:postgres "$dir"
    fi
    if [ "$("${psql[@]}" -c "SELECT 1 FROM pg_tablespace WHERE spcname = 'qc_small'")" != "1" ]; then
        # A mount made anew is empty: a tablespace left from an earlier mount is
        # dropped first (its tables went with their test schemas).
        "${psql[@]}" -c "CREATE TABLESPACE qc_small LOCATION '$dir'"
    elif [ -z "$(qc_sudo ls -A "$dir")" ]; then
        "${psql[@]}" -c "DROP TABLESPACE qc_small"
        "${psql[@]}" -c "CREATE TABLESPACE qc_small LOCATION '$dir'"
    fi
    "${psql[@]}" -c "GRANT CREATE ON TABLESPACE qc_small TO qc"
    export QC_TEST_PG_SMALL_TABLESPACE=qc_small
}

qc_jobs() {
    echo "${QC_JOBS:-$(nproc)}"
}
