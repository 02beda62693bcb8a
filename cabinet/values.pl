#!/usr/bin/perl
# The cabinet's values file: its default contents, checks, and atomic edits.
#
#   values.pl defaults ADDRESS...              print the default values of these cabinets
#   values.pl check FILE                       exit non-zero (with the reason) if FILE is malformed
#   values.pl get FILE ADDRESS COLUMN...       print "COLUMN=VALUE" for each column
#   values.pl set FILE ADDRESS COLUMN=VALUE... change columns; FILE is replaced by rename
#
# File format: one "ADDRESS.COLUMN VALUE" per line, "#" starts a comment line.
# Only core perl, like the pass_persist handler.
use strict;
use warnings;
use Fcntl qw(:flock);
use File::Temp qw(tempfile);
use File::Basename qw(dirname);

my $COLUMNS = 1397;

sub fail { print STDERR "cabinet: @_\n"; exit 2 }

sub check_address {
    my ($address) = @_;
    fail("bad address '$address' (want 0-255)") unless $address =~ /^\d{1,3}\z/ && $address <= 255;
    return $address + 0;
}

sub check_column {
    my ($column) = @_;
    fail("bad column '$column' (want 1-$COLUMNS)")
        unless $column =~ /^\d{1,4}\z/ && $column >= 1 && $column <= $COLUMNS;
    return $column + 0;
}

# The simulator's own measurement layout (see README.md); every other column, alarms included, is 0.
sub default_columns {
    my %v;
    my @inputs = (    # per input: phase voltages (V), phase currents (A), power factors, energy (kWh)
        { base => 0,  u => [230.5, 229.8, 231.2], i => [18.2, 17.6, 19.0], pf => [0.96, 0.95, 0.97], kwh => 152340.7 },
        { base => 20, u => [229.6, 230.9, 230.1], i => [12.4, 11.9, 13.1], pf => [0.98, 0.97, 0.99], kwh => 98211.3 },
    );
    for my $in (@inputs) {
        my $b = $in->{base};
        my $total = 0;
        for my $phase (0 .. 2) {
            my ($u, $i, $pf) = ($in->{u}[$phase], $in->{i}[$phase], $in->{pf}[$phase]);
            my $kw = $u * $i * $pf / 1000;
            $total += $kw;
            $v{$b + 1 + $phase}  = sprintf('%.1f', $u);
            $v{$b + 4 + $phase}  = sprintf('%.1f', $i);
            $v{$b + 7 + $phase}  = sprintf('%.2f', $kw);
            $v{$b + 11 + $phase} = sprintf('%.2f', $pf);
        }
        $v{$b + 10} = sprintf('%.2f', $total);
        $v{$b + 14} = '50.00';
        $v{$b + 15} = sprintf('%.1f', $in->{kwh});
    }
    # 48 output branches, 24 per input: currents between 0.4 and 2.6 A.
    for my $branch (1 .. 48) {
        $v{40 + $branch} = sprintf('%.1f', 0.4 + (($branch * 7) % 12) * 0.2);
    }
    @v{221 .. 224} = ('24.6', '27.1', '46.0', '51.5');    # two temperatures (C), two humidities (%RH)
    return map { defined $v{$_} ? $v{$_} : '0' } 1 .. $COLUMNS;
}

# Returns the lines of FILE and, per "ADDRESS.COLUMN" key, the index of its line.
sub read_file {
    my ($path) = @_;
    open(my $fh, '<', $path) or fail("cannot read $path: $!");
    my (@lines, %at);
    while (my $line = <$fh>) {
        $line =~ s/\r?\n\z//;
        if ($line =~ /^\s*(\d+)\.(\d+)(?:[ \t]|\z)/) {
            my $key = ($1 + 0) . '.' . ($2 + 0);
            $at{$key} = scalar @lines unless exists $at{$key};
        }
        push @lines, $line;
    }
    close($fh);
    return (\@lines, \%at);
}

sub command_defaults {
    my @addresses = map { check_address($_) } (@_ ? @_ : (4));
    my @values = default_columns();
    print "# cabinet values: ADDRESS.COLUMN VALUE\n";
    for my $address (@addresses) {
        print "$address.$_ $values[$_ - 1]\n" for 1 .. $COLUMNS;
    }
}

sub command_check {
    my ($path) = @_;
    fail('check needs a FILE') unless defined $path;
    open(my $fh, '<', $path) or fail("cannot read values file $path: $!");
    my $rows = 0;
    while (my $line = <$fh>) {
        $line =~ s/\r?\n\z//;
        next if $line =~ /^\s*(#|\z)/;
        fail("$path:$.: want 'ADDRESS.COLUMN VALUE', got: $line")
            unless $line =~ /^\s*(\d+)\.(\d+)(?:[ \t]|\z)/;
        fail("$path:$.: address $1 is not 0-255") if $1 > 255;
        fail("$path:$.: column must be at least 1") if $2 < 1;
        $rows++;
    }
    fail("values file $path has no values") unless $rows;
}

sub command_get {
    my ($path, $address, @columns) = @_;
    fail('get needs FILE ADDRESS COLUMN...') unless defined $address && @columns;
    $address = check_address($address);
    my ($lines, $at) = read_file($path);
    for my $column (map { check_column($_) } @columns) {
        my $index = $at->{"$address.$column"};
        my $value = '';
        ($value) = $lines->[$index] =~ /^\s*\S+[ \t]+(.*?)[ \t]*\z/ if defined $index;
        print "$column=" . (defined $value ? $value : '') . "\n";
    }
}

sub command_set {
    my ($path, $address, @assignments) = @_;
    fail('set needs at least one COLUMN=VALUE') unless defined $address && @assignments;
    $address = check_address($address);
    my @changes;
    for my $assignment (@assignments) {
        fail("want COLUMN=VALUE, got '$assignment'") unless $assignment =~ /^([^=]*)=(.*)\z/s;
        my ($column, $value) = (check_column($1), $2);
        fail("value of column $column must be one line") if $value =~ /[\r\n]/;
        push @changes, [$column, $value];
    }
    # Writers queue on a lock beside the file, so two quick edits can't lose one another.
    open(my $lock, '>>', "$path.lock") or fail("cannot open $path.lock: $!");
    flock($lock, LOCK_EX) or fail("cannot lock $path.lock: $!");
    my ($lines, $at) = read_file($path);
    for my $change (@changes) {
        my ($column, $value) = @$change;
        my $line = "$address.$column $value";
        my $index = $at->{"$address.$column"};
        if (defined $index) {
            $lines->[$index] = $line;
        } else {
            $at->{"$address.$column"} = scalar @$lines;
            push @$lines, $line;
        }
    }
    # The handler must never read a half-written file: write a sibling, then rename over.
    my ($out, $temp) = tempfile('.values-XXXXXX', DIR => dirname($path));
    print $out map { "$_\n" } @$lines;
    close($out) or fail("cannot write $temp: $!");
    chmod(0644, $temp);
    rename($temp, $path) or do { unlink($temp); fail("cannot replace $path: $!") };
    close($lock);
}

my $command = shift @ARGV;
fail('usage: values.pl defaults|check|get|set ...') unless defined $command;
if    ($command eq 'defaults') { command_defaults(@ARGV) }
elsif ($command eq 'check')    { command_check(@ARGV) }
elsif ($command eq 'get')      { command_get(@ARGV) }
elsif ($command eq 'set')      { command_set(@ARGV) }
else                           { fail("values.pl: unknown command '$command'") }
