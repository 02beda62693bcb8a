#!/usr/bin/perl
# snmpd's pass_persist handler for the cabinet tables: serves every line of the values file as
# .1.3.6.1.4.1.61333.1.1.ADDRESS.0.COLUMN = STRING VALUE, read-only.
#
# Usage (from snmpd.conf): pass-handler.pl VALUES_FILE [PID_FILE]
#
# snmpd keeps this process for its lifetime and talks over stdin/stdout; it ends at end of input.
# Only core perl, so that the agent runs wherever perl-base is.
use strict;
use warnings;

my $ROOT = '1.3.6.1.4.1.61333.1.1';
my ($values_path, $pid_path) = @ARGV;
die "usage: pass-handler.pl VALUES_FILE [PID_FILE]\n" unless defined $values_path;

$| = 1;    # snmpd waits for each answer: never leave one in a buffer

if (defined $pid_path) {
    open(my $pid_file, '>', $pid_path) or die "pass-handler: cannot write $pid_path: $!\n";
    print $pid_file "$$\n";
    close($pid_file);
}

# The table, sorted numerically: @oids holds array refs of sub-identifiers, @names their dotted
# form (with the leading dot snmpd uses), @values the strings; %position maps a name to its index.
my (@oids, @names, @values, %position);

# The file we loaded from stays open: while we hold it, its inode can't be reused by a later
# replacement, so "same device and inode" really means "same file" (mtime has only 1 s here).
my $held;
my $signature = '';

sub file_signature {
    my ($target) = @_;
    my @st = stat($target);
    return '' unless @st;
    return join(':', @st[0, 1, 7, 9, 10]);    # dev, ino, size, mtime, ctime
}

sub load_values {
    return if file_signature($values_path) eq $signature;
    my $fh;
    unless (open($fh, '<', $values_path)) {
        # Keep serving what we had: a missing file is a writer's mistake, not a reason to go dark.
        warn "pass-handler: cannot read $values_path: $!\n";
        return;
    }
    my @rows;
    while (my $line = <$fh>) {
        $line =~ s/\r?\n\z//;
        next if $line =~ /^\s*(#|\z)/;
        if ($line =~ /^\s*(\d+)\.(\d+)(?:[ \t]+(.*?))?[ \t]*\z/) {
            push @rows, [$1 + 0, $2 + 0, defined $3 ? $3 : ''];
        } else {
            warn "pass-handler: $values_path:$.: ignored line: $line\n";
        }
    }
    @rows = sort { $a->[0] <=> $b->[0] || $a->[1] <=> $b->[1] } @rows;
    (@oids, @names, @values, %position) = ();
    for my $row (@rows) {
        my ($address, $column, $value) = @$row;
        my $name = ".$ROOT.$address.0.$column";
        next if exists $position{$name};    # first line wins, as in any lookup by key
        $position{$name} = scalar @names;
        push @oids, [split(/\./, "$ROOT.$address.0.$column")];
        push @names, $name;
        push @values, $value;
    }
    close($held) if $held;
    $held = $fh;
    $signature = file_signature($fh);    # of what we read, even if the path moved on meanwhile
}

sub parse_oid {
    my ($text) = @_;
    no warnings 'numeric';
    $text =~ s/^\s+|\s+$//g;
    $text =~ s/^\.//;
    return [] if $text eq '';
    return [map { $_ + 0 } split(/\./, $text)];
}

# Numeric order of sub-identifiers; a prefix sorts before its extensions.
sub compare_oids {
    my ($x, $y) = @_;
    my $n = @$x < @$y ? scalar @$x : scalar @$y;
    for (my $i = 0; $i < $n; $i++) {
        my $c = $x->[$i] <=> $y->[$i];
        return $c if $c;
    }
    return scalar @$x <=> scalar @$y;
}

sub answer {
    my ($index) = @_;
    return "NONE\n" unless defined $index && $index < @names;
    return "$names[$index]\nstring\n$values[$index]\n";
}

sub lookup_get {
    my ($oid) = @_;
    my $name = '.' . join('.', @$oid);
    return $position{$name};
}

# Index of the first row strictly after $oid.
sub lookup_next {
    my ($oid) = @_;
    my $name = '.' . join('.', @$oid);
    return $position{$name} + 1 if exists $position{$name};    # the usual case while walking
    my ($low, $high) = (0, scalar @oids);
    while ($low < $high) {
        my $mid = int(($low + $high) / 2);
        if (compare_oids($oids[$mid], $oid) <= 0) { $low = $mid + 1 } else { $high = $mid }
    }
    return $low;
}

sub read_line {
    my $line = <STDIN>;
    return undef unless defined $line;
    $line =~ s/\r?\n\z//;
    return $line;
}

load_values();
while (defined(my $command = read_line())) {
    if ($command eq 'PING') {
        print "PONG\n";
    } elsif ($command eq 'get' || $command eq 'getnext') {
        my $oid_text = read_line();
        last unless defined $oid_text;
        load_values();
        my $oid = parse_oid($oid_text);
        print answer($command eq 'get' ? lookup_get($oid) : lookup_next($oid));
    } elsif ($command eq 'set') {
        read_line() for 1 .. 2;    # OID, then "TYPE VALUE"
        print "not-writable\n";
    } elsif ($command ne '') {
        warn "pass-handler: unknown command: $command\n";
        print "NONE\n";
    }
}
exit 0;
