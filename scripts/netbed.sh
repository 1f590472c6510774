#!/usr/bin/env bash
# Builds and removes beds of Linux network namespaces for tests and demos (see docs/netbed.md), so that
# nothing is ever sent on this machine's own network. Every interface lives inside a namespace of the bed.
#
#   netbed.sh up     PREFIX SEGMENTS [--tool-extra-down] [--tool-extra-noaddr]
#   netbed.sh device PREFIX NAME SEG[,SEG...]     prints the device's addresses, one per line
#   netbed.sh exec   PREFIX NAME CMD...
#   netbed.sh addr   PREFIX NAME IFACE            prints the interface's IPv4 address
#   netbed.sh list   PREFIX
#   netbed.sh down   PREFIX
#   netbed.sh reap
#
# Namespaces are named PREFIX-ROLE (ROLE: hub, tool or a device name). PREFIX is letters, digits and
# underscores, never '-', so that "PREFIX-" never matches another bed's names.
#
# Prefix convention for reap: "vd", the decimal pid of the process that owns the bed, then optionally "x"
# and lowercase letters or digits (vd4242, vd4242x3). `reap` removes such beds whose pid is gone, i.e. the
# leftovers of a test that crashed before its own `down`. Beds named otherwise are never reaped.
#
# Exit codes: 0 done, 1 failed, 2 usage, 77 cannot build namespaces here (not root, no iproute2).
set -euo pipefail

readonly state_root=/run/netbed
readonly max_segments=250 # 10.77.250.0/24 belongs to the tool's extra down interface
readonly first_host=10
readonly last_host=254
cleanup_target= # what a failing up or device removes on its way out

warn() { echo "netbed: $*" >&2; }
die() {
  warn "$@"
  exit 1
}

# Prints the command summary from the header above; exits with $1 (2: called wrongly).
usage() {
  sed -n '5,11s/^#   /usage: /p' "$0" >&2
  exit "${1:-2}"
}

check_prefix() {
  [[ $1 =~ ^[A-Za-z0-9_]{1,40}$ ]] || {
    warn "bad PREFIX '$1': use 1-40 letters, digits or '_'"
    exit 2
  }
}

check_name() {
  [[ $1 =~ ^[A-Za-z0-9_][A-Za-z0-9_.-]{0,39}$ ]] || {
    warn "bad NAME '$1': use letters, digits, '_', '.', '-'"
    exit 2
  }
}

# Named namespaces are the files `ip netns` keeps here; reading them directly spares a process per look.
readonly netns_dir=/var/run/netns

# Every named namespace on the machine, or those matching the glob $1, one per line, sorted.
all_namespaces() {
  local file
  for file in "$netns_dir"/${1:-*}; do
    [[ -e $file ]] && echo "${file##*/}"
  done
  return 0
}

bed_namespaces() { all_namespaces "$1-*"; }

ns_exists() { [[ -e $netns_dir/$1 ]]; }

# Runs one command; on failure says which and why.
run() {
  local out
  out=$("$@" 2>&1) || {
    warn "failed: $*: ${out//$'\n'/ }"
    return 1
  }
}

# Creates a namespace. Serialised machine-wide because concurrent first uses of /run/netns by `ip netns
# add` each set up its shared mount and can trip over one another.
add_ns() {
  mkdir -p "$state_root"
  run flock "$state_root/.netns.lock" ip netns add "$1"
}

# Runs `ip` commands (one per argument after $2) in one process inside namespace $1: a bed of 30 segments
# needs ~150 of them. $2 says what they do, for the message when one fails.
ip_batch() {
  local ns=$1 what=$2 out line
  shift 2
  (($# > 0)) || return 0
  if ! out=$(printf '%s\n' "$@" | ip -n "$ns" -batch - 2>&1); then
    # Kernel refusals come with the failing line's number; argument errors quote the bad argument instead.
    line=$(sed -n 's/^Command failed -:\([0-9]*\).*/\1/p' <<<"$out" | head -n 1)
    out=$(grep -v '^Command failed' <<<"$out" | tr '\n' ' ')
    if [[ -n $line ]] && ((line >= 1 && line <= $#)); then
      warn "failed in $ns ($what): ip ${!line}: $out"
    else
      warn "failed in $ns ($what): $out"
    fi
    return 1
  fi
}

up_failed() {
  local rc=$?
  if ((rc != 0)); then
    warn "up $1 failed; removing what was built"
    cmd_down "$1" >/dev/null 2>&1 || true
  fi
  exit "$rc"
}

cmd_up() {
  (($# >= 2)) || usage
  local prefix=$1 segments=$2 extra_down=0 extra_noaddr=0 flag k out
  shift 2
  for flag in "$@"; do
    case $flag in
      --tool-extra-down) extra_down=1 ;;
      --tool-extra-noaddr) extra_noaddr=1 ;;
      *)
        warn "unknown option '$flag'"
        usage
        ;;
    esac
  done
  check_prefix "$prefix"
  if ! [[ $segments =~ ^[0-9]{1,3}$ ]] || ((10#$segments > max_segments)); then
    warn "bad SEGMENTS '$segments': use 0-$max_segments"
    exit 2
  fi
  segments=$((10#$segments))
  [[ -z $(bed_namespaces "$prefix") ]] || die "bed $prefix already exists; run 'netbed.sh down $prefix' first"

  local hub=$prefix-hub tool=$prefix-tool
  # Creating the hub claims the prefix: a concurrent `up` of the same prefix fails here and must leave the
  # winner's bed alone. A root that may not create namespaces at all (unprivileged container) skips.
  mkdir -p "$state_root"
  if ! out=$(flock "$state_root/.netns.lock" ip netns add "$hub" 2>&1); then
    warn "cannot create network namespace $hub: ${out//$'\n'/ }"
    [[ $out == *"not permitted"* || $out == *"Permission denied"* ]] && exit 77
    exit 1
  fi
  # Whatever fails from here on, the half-built bed goes away.
  cleanup_target=$prefix
  trap 'up_failed "$cleanup_target"' EXIT
  trap 'exit 130' INT TERM

  rm -rf "${state_root:?}/$prefix"
  mkdir -p "$state_root/$prefix"
  echo "$segments" >"$state_root/$prefix/segments"
  add_ns "$tool"

  # Snooping off: the bridges never learn group membership, so every multicast reaches every port.
  local hub_cmds=("link set lo up") tool_cmds=("link set lo up") port_cmds=()
  for ((k = 0; k < segments; k++)); do
    hub_cmds+=("link add br$k type bridge mcast_snooping 0" "link set br$k up")
    tool_cmds+=("link add eth$k type veth peer name t$k netns $hub"
      "addr add 10.77.$k.1/24 dev eth$k"
      "link set eth$k up")
    port_cmds+=("link set t$k master br$k up")
  done
  if ((extra_down)); then
    tool_cmds+=("link add ethdown type veth peer name xdown netns $hub" "addr add 10.77.250.1/24 dev ethdown")
  fi
  if ((extra_noaddr)); then
    tool_cmds+=("link add ethnoaddr type veth peer name xnoaddr netns $hub" "link set ethnoaddr up")
    port_cmds+=("link set xnoaddr up")
  fi
  # Each veth pair is created inside the tool namespace with its peer sent straight to the hub: neither end
  # ever exists in this machine's own namespace.
  ip_batch "$hub" "adding bridges" "${hub_cmds[@]}"
  ip_batch "$tool" "adding the tool's interfaces" "${tool_cmds[@]}"
  ip_batch "$hub" "attaching the tool's ports" "${port_cmds[@]}"

  trap - EXIT INT TERM
}

# Reads a counter from the bed's state, $2 when it has none yet.
counter() {
  local value
  if [[ -f $1 ]] && read -r value <"$1" && [[ $value =~ ^[0-9]+$ ]]; then
    echo "$value"
  else
    echo "$2"
  fi
}

device_failed() {
  local rc=$?
  if ((rc != 0)); then
    warn "device $1 failed; removing it"
    ip netns del "$1" >/dev/null 2>&1 || true
  fi
  exit "$rc"
}

cmd_device() {
  (($# == 3)) || usage
  local prefix=$1 name=$2 list=$3
  check_prefix "$prefix"
  check_name "$name"
  [[ $name != hub && $name != tool ]] || die "NAME '$name' is taken by the bed itself"
  local hub=$prefix-hub ns=$prefix-$name dir=$state_root/$prefix
  ns_exists "$hub" || die "no bed $prefix (run 'netbed.sh up $prefix ...' first)"

  [[ $list =~ ^[0-9]+(,[0-9]+)*$ ]] || {
    warn "bad segment list '$list': use SEG[,SEG...], e.g. 0 or 0,1"
    exit 2
  }
  local -a segs
  local seg seen="," segments
  IFS=, read -r -a segs <<<"$list"
  segments=$(counter "$dir/segments" -1) # -1: state lost, ask the hub instead
  for seg in "${segs[@]}"; do
    [[ $seen != *",$((10#$seg)),"* ]] || die "segment $seg listed twice"
    seen+="$((10#$seg)),"
    if ((segments >= 0)); then
      ((10#$seg < segments)) || die "bed $prefix has no segment $seg (it has $segments)"
    else
      ip -n "$hub" link show "br$((10#$seg))" >/dev/null 2>&1 || die "bed $prefix has no segment $seg"
    fi
  done

  # Held until the end, so devices added in parallel never get the same port name or host number.
  mkdir -p "$dir"
  exec 9>"$dir/lock"
  flock 9
  # Checked under the lock: a failing device removes its namespace, which must never be another's.
  if ns_exists "$ns"; then die "namespace $ns already exists"; fi

  local port host i
  local -a hosts=() addresses=() dev_cmds=("link set lo up") port_cmds=()
  port=$(counter "$dir/port" 0)
  for i in "${!segs[@]}"; do
    seg=$((10#${segs[i]}))
    host=$(counter "$dir/host.$seg" "$first_host")
    ((host <= last_host)) || die "segment $seg has no host number left"
    hosts[i]=$host
    addresses+=("10.77.$seg.$host")
    dev_cmds+=("link add eth$i type veth peer name d$((port + i)) netns $hub"
      "addr add 10.77.$seg.$host/24 dev eth$i"
      "link set eth$i up")
    port_cmds+=("link set d$((port + i)) master br$seg up")
  done
  # Without a route a device's plain sendto() to the group fails (ENETUNREACH); real devices have one.
  dev_cmds+=("route add 224.0.0.0/4 dev eth0")

  add_ns "$ns"
  cleanup_target=$ns
  trap 'device_failed "$cleanup_target"' EXIT
  trap 'exit 130' INT TERM
  # Deleting the device namespace also deletes the hub ends of its veths, so that is all cleanup needs.
  ip_batch "$ns" "adding the device's interfaces" "${dev_cmds[@]}"
  ip_batch "$hub" "attaching the device's ports" "${port_cmds[@]}"

  echo "$((port + ${#segs[@]}))" >"$dir/port"
  for i in "${!segs[@]}"; do
    echo "$((hosts[i] + 1))" >"$dir/host.$((10#${segs[i]}))"
  done
  trap - EXIT INT TERM
  printf '%s\n' "${addresses[@]}"
}

# This script and its callers, which may have been started from inside the bed: never to be killed.
own_lineage() {
  local pid=$$ stat
  local -a fields
  while [[ $pid =~ ^[0-9]+$ ]] && ((pid > 1)); do
    echo "$pid"
    read -r stat <"/proc/$pid/stat" 2>/dev/null || break
    # The parent pid is the second field after the command name, which may hold spaces and parentheses.
    read -r -a fields <<<"${stat##*) }"
    pid=${fields[1]:-}
  done
}

# Zombies have no namespace left, so they count as gone.
still_running() {
  local pid
  for pid in "$@"; do
    [[ -e /proc/$pid/ns/net ]] && return 0
  done
  return 1
}

cmd_down() {
  (($# == 1)) || usage
  local prefix=$1 ns i pid
  check_prefix "$prefix"
  local -a namespaces pids=()
  mapfile -t namespaces < <(bed_namespaces "$prefix")
  ((${#namespaces[@]} > 0)) || {
    rm -rf "${state_root:?}/$prefix"
    return 0
  }
  local -A keep=()
  for pid in $(own_lineage); do keep[$pid]=1; done
  for ns in "${namespaces[@]}"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do
      [[ -n ${keep[$pid]:-} ]] || pids+=("$pid")
    done
  done
  if ((${#pids[@]} > 0)); then
    kill -TERM "${pids[@]}" 2>/dev/null || true
    for ((i = 0; i < 20; i++)); do
      still_running "${pids[@]}" || break
      sleep 0.05
    done
    if still_running "${pids[@]}"; then
      kill -KILL "${pids[@]}" 2>/dev/null || true
      sleep 0.1
    fi
  fi
  for ns in "${namespaces[@]}"; do
    # Another down or reap may have removed it meanwhile; only one still there is worth a word.
    ip netns del "$ns" 2>/dev/null || ! ns_exists "$ns" || warn "could not delete namespace $ns"
  done
  rm -rf "${state_root:?}/$prefix"
}

cmd_reap() {
  (($# == 0)) || usage
  local name prefix
  local -A dead=()
  # Beds still listed in namespaces, and state left behind by a down that never ran.
  while read -r name; do
    [[ $name =~ ^(vd([0-9]+)(x[a-z0-9]*)?)(-|$) ]] || continue
    prefix=${BASH_REMATCH[1]}
    [[ -d /proc/$((10#${BASH_REMATCH[2]})) ]] || dead[$prefix]=1
  done < <(
    all_namespaces
    [[ -d $state_root ]] && find "$state_root" -mindepth 1 -maxdepth 1 -type d -printf '%f\n'
  )
  for prefix in "${!dead[@]}"; do
    warn "reaping bed $prefix (its process is gone)"
    cmd_down "$prefix"
  done
}

cmd_list() {
  (($# == 1)) || usage
  check_prefix "$1"
  bed_namespaces "$1"
}

cmd_addr() {
  (($# == 3)) || usage
  check_prefix "$1"
  check_name "$2"
  local ns=$1-$2 address
  address=$(ip -n "$ns" -4 -o addr show dev "$3" 2>/dev/null | awk '{ split($4, a, "/"); print a[1]; exit }')
  [[ -n $address ]] || die "no IPv4 address on $3 in namespace $ns"
  echo "$address"
}

cmd_exec() {
  (($# >= 3)) || usage
  check_prefix "$1"
  check_name "$2"
  local ns=$1-$2
  shift 2
  exec ip netns exec "$ns" "$@"
}

main() {
  (($# >= 1)) || usage
  local command=$1
  shift
  case $command in
    up | device | exec | addr | list | down | reap) ;;
    -h | --help | help) usage 0 ;;
    *) usage ;;
  esac
  if ((EUID != 0)); then
    echo "netbed: skipped: building network namespaces needs root" >&2
    exit 77
  fi
  command -v ip >/dev/null 2>&1 || {
    echo "netbed: skipped: iproute2 (ip) is not installed" >&2
    exit 77
  }
  "cmd_$command" "$@"
}

main "$@"
